#include "platform/store/NSSortDescriptor.h"

#include <QMetaType>

namespace {

// Moves surrogates above U+E000..U+FFFF so that UTF-16 units compare in code-point order.
inline char16_t codePointOrderUnit(char16_t u)
{
    if (u >= 0xD800)
        return u >= 0xE000 ? char16_t(u - 0x800) : char16_t(u + 0x2000);
    return u;
}

template <typename T>
int threeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool isUnsigned(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::ULongLong || id == QMetaType::UInt;
}

bool isFloating(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

} // namespace

int compareCodePoints(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.utf16());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.utf16());
    for (qsizetype i = 0; i < n; ++i) {
        if (pa[i] != pb[i])
            return threeWay(codePointOrderUnit(pa[i]), codePointOrderUnit(pb[i]));
    }
    return threeWay(a.size(), b.size());
}

int compareAttributeValues(const QVariant& a, const QVariant& b)
{
    const bool aAbsent = !a.isValid();
    const bool bAbsent = !b.isValid();
    if (aAbsent || bAbsent)
        return threeWay(int(!aAbsent), int(!bAbsent));
    if (a.metaType().id() == QMetaType::QString || b.metaType().id() == QMetaType::QString)
        return compareCodePoints(a.toString(), b.toString());
    if (isFloating(a) || isFloating(b))
        return threeWay(a.toDouble(), b.toDouble());
    if (isUnsigned(a) && isUnsigned(b))
        return threeWay(a.toULongLong(), b.toULongLong());
    if (isUnsigned(a) || isUnsigned(b)) {
        // Mixed signs: a negative signed value is below every unsigned one.
        const bool aNeg = !isUnsigned(a) && a.toLongLong() < 0;
        const bool bNeg = !isUnsigned(b) && b.toLongLong() < 0;
        if (aNeg || bNeg)
            return threeWay(int(!aNeg), int(!bNeg));
        return threeWay(a.toULongLong(), b.toULongLong());
    }
    return threeWay(a.toLongLong(), b.toLongLong());
}

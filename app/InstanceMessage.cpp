#include "app/InstanceMessage.h"

#include "platform/foundation/CleanPath.h"

#include <algorithm>

namespace {

constexpr char kHeader[] = "tavoro-open 1\n";
constexpr qsizetype kHeaderSize = sizeof kHeader - 1;
constexpr qsizetype kMaxCountDigits = 5;

bool acceptablePath(const QByteArray& path)
{
    return path.size() > 1 && path.size() < kMaxInstancePathBytes && path.startsWith('/')
           && absoluteCleanPath(path, "/") == path;
}

} // namespace

QByteArray encodeOpenMessage(const QList<QByteArray>& paths)
{
    QList<QByteArray> sent;
    for (const QByteArray& path : paths) {
        if (sent.size() < kMaxInstancePaths && !path.contains('\0') && acceptablePath(path))
            sent.append(path);
    }
    QByteArray message = kHeader + QByteArray::number(sent.size()) + '\n';
    for (const QByteArray& path : sent)
        message += path + '\0';
    return message;
}

OpenMessage decodeOpenMessage(const QByteArray& received)
{
    OpenMessage message;
    if (received.size() < kHeaderSize) {
        if (!QByteArray(kHeader).startsWith(received))
            message.state = OpenMessageState::Invalid;
        return message;
    }
    if (!received.startsWith(kHeader)) {
        message.state = OpenMessageState::Invalid;
        return message;
    }
    const qsizetype countEnd = received.indexOf('\n', kHeaderSize);
    const QByteArray digits = received.mid(kHeaderSize, countEnd < 0 ? -1 : countEnd - kHeaderSize);
    const bool digitsOnly = std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly || digits.size() > kMaxCountDigits || (countEnd >= 0 && digits.isEmpty())) {
        message.state = OpenMessageState::Invalid;
        return message;
    }
    if (countEnd < 0)
        return message;
    const int count = digits.toInt();
    if (count > kMaxInstancePaths || (digits.size() > 1 && digits.startsWith('0'))) {
        message.state = OpenMessageState::Invalid;
        return message;
    }
    qsizetype at = countEnd + 1;
    while (message.paths.size() < count) {
        const qsizetype end = received.indexOf('\0', at);
        if (end < 0) {
            // The path still arriving may not grow past the limit.
            if (received.size() - at >= kMaxInstancePathBytes)
                message.state = OpenMessageState::Invalid;
            message.paths.clear();
            return message;
        }
        const QByteArray path = received.mid(at, end - at);
        if (!acceptablePath(path)) {
            message.state = OpenMessageState::Invalid;
            message.paths.clear();
            return message;
        }
        message.paths.append(path);
        at = end + 1;
    }
    message.state = at == received.size() ? OpenMessageState::Complete : OpenMessageState::Invalid;
    if (message.state != OpenMessageState::Complete)
        message.paths.clear();
    return message;
}

// The letter index over any names (UTF-16 code units, surrogates and controls included):
// every header is "A" to "Z" or "#", and the sections hold every name once, in list order.

#include "FuzzSupport.h"

#include "player/LetterIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const uint32_t kKinds[] = {ListKindTitles, ListKindArtists, ListKindAlbums};
    const uint32_t kind = kKinds[data[0] % 3];
    // Names are separated by a zero code unit; an odd last byte is dropped.
    QStringList names;
    QString name;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0) {
            names.append(name);
            name.clear();
        } else {
            name.append(QChar(unit));
        }
    }
    names.append(name);

    const SectionList sections = sectionsOfNames(kind, names);
    int next = 0;
    for (const SectionRecord& section : sections) {
        const QString& header = section.headerTitle;
        FUZZ_CHECK(header == QLatin1String("#")
                   || (header.size() == 1 && header[0] >= QLatin1Char('A') && header[0] <= QLatin1Char('Z')));
        FUZZ_CHECK(!section.rowValues.isEmpty() && section.rowValues.size() == section.ListNumber.size());
        for (qsizetype row = 0; row < section.rowValues.size(); ++row) {
            FUZZ_CHECK(section.ListNumber[row] == next);
            FUZZ_CHECK(section.rowValues[row] == names[next]);
            ++next;
        }
    }
    FUZZ_CHECK(next == names.size());
    return 0;
}

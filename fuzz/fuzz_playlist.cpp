// Playlist text: every entry comes out as an absolute, cleaned path (no remote URL, no
// "..", no empty component), whatever the lines hold.

#include "FuzzSupport.h"

#include "platform/media/PlaylistFile.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray content(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    for (const QString& entry : parsePlaylistEntries(content, QStringLiteral("/music/lists"), data[0] & 1)) {
        FUZZ_CHECK(entry.startsWith(QLatin1Char('/')));
        FUZZ_CHECK(entry == QDir::cleanPath(entry));
        FUZZ_CHECK(!entry.contains(QLatin1String("://")));
    }
    return 0;
}

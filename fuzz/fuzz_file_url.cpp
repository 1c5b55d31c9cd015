// File URLs: any path's bytes survive the way to a URL and back (both decoders), and a
// string the player is asked to open gives a local path or nothing.

#include "FuzzSupport.h"

#include "platform/audiofile/FileUrl.h"
#include "platform/foundation/LocalFileURL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto path = localPathFromUrl(text)) {
        FUZZ_CHECK(path->find('\0') == std::string::npos || text.find('\0') != std::string::npos);
        if (text.size() >= 5 && (text.compare(0, 5, "file:") == 0 || text.compare(0, 5, "FILE:") == 0))
            FUZZ_CHECK(!path->empty() && (*path)[0] == '/');
    }

    QByteArray path = "/" + QByteArray(text.data(), qsizetype(text.size()));
    path.replace('\0', "");
    const QUrl url = fileURLWithPathBytes(path);
    FUZZ_CHECK(url.isValid() && url.isLocalFile());
    FUZZ_CHECK(pathBytesOfFileURL(url) == path);
    const auto decoded = localPathFromUrl(url.toString(QUrl::FullyEncoded).toStdString());
    FUZZ_CHECK(decoded && QByteArray::fromStdString(*decoded) == path);
    return 0;
}

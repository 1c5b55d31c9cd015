// Cover thumbnails from any bytes: nothing, or a JPEG that decodes to at most the
// thumbnail's side.

#include "FuzzSupport.h"

#include "platform/media/MediaFileReader.h"

#include <QImage>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray cover(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray thumbnail = makeCoverThumbnail(cover);
    if (thumbnail.isEmpty())
        return 0;
    const QImage image = QImage::fromData(thumbnail, "JPEG");
    FUZZ_CHECK(!image.isNull());
    FUZZ_CHECK(image.width() <= kCoverThumbnailSide && image.height() <= kCoverThumbnailSide);
    return 0;
}

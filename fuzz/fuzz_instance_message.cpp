// What a later start sends the running player over the single-instance socket, as any
// bytes: a whole message gives at most kMaxInstancePaths absolute, clean paths and is the
// one encoding of them; anything else gives no path. A whole message stops being whole with
// one byte more or less, and a refused one stays refused however it goes on.

#include "FuzzSupport.h"

#include "app/InstanceMessage.h"
#include "platform/foundation/CleanPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray received(reinterpret_cast<const char*>(data), qsizetype(size));
    const OpenMessage message = decodeOpenMessage(received);
    if (message.state != OpenMessageState::Complete) {
        FUZZ_CHECK(message.paths.isEmpty());
        if (message.state == OpenMessageState::Invalid)
            FUZZ_CHECK(decodeOpenMessage(received + '\0').state == OpenMessageState::Invalid);
        return 0;
    }
    FUZZ_CHECK(message.paths.size() <= kMaxInstancePaths);
    for (const QByteArray& path : message.paths) {
        FUZZ_CHECK(path.size() < kMaxInstancePathBytes && !path.contains('\0'));
        FUZZ_CHECK(path.startsWith('/') && absoluteCleanPath(path, "/") == path);
    }
    FUZZ_CHECK(encodeOpenMessage(message.paths) == received);
    FUZZ_CHECK(decodeOpenMessage(received.chopped(1)).state == OpenMessageState::Incomplete);
    FUZZ_CHECK(decodeOpenMessage(received + '/').state == OpenMessageState::Invalid);
    return 0;
}

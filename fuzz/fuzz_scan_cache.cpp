// The scan cache file: any bytes load without harm, and what loads is saved and loaded
// back unchanged.

#include "FuzzSupport.h"

#include "platform/media/ScanCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ScanCache loaded;
    {
        const fuzz::MemoryFile input(data, size);
        loaded = loadScanCache(QString::fromStdString(input.path()));
    }
    for (const ScanCacheEntry& entry : loaded) {
        const double seconds = entry.song.playbackDuration;
        FUZZ_CHECK(!entry.isSong || seconds == -1.0 || (seconds >= 0.0 && seconds <= 7.0 * 24 * 3600));
    }
    if (loaded.isEmpty())
        return 0;
    const QString saved = QString::fromStdString(fuzz::privateFolder() + "/scan-cache");
    FUZZ_CHECK(saveScanCache(saved, loaded));
    const ScanCache again = loadScanCache(saved);
    FUZZ_CHECK(again.size() == loaded.size());
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
        const auto found = again.constFind(it.key());
        FUZZ_CHECK(found != again.cend());
        FUZZ_CHECK(found->size == it->size && found->modifiedNs == it->modifiedNs && found->isSong == it->isSong);
        FUZZ_CHECK(found->song == it->song);
    }
    return 0;
}

// The offline tool's WAV reader on any bytes: it never delivers more sample bytes than the
// data chunk declares, nor more than the file holds after that chunk's header.

#include "FuzzSupport.h"

#include "tools/qbs-render/WavFile.h"

#include <cstring>
#include <vector>

namespace {

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Where the first data chunk's bytes start and how many it declares ("up to the end" for
// the all-ones size); false when there is none.
bool findDataChunk(const uint8_t* data, size_t size, uint64_t& start, uint64_t& declared)
{
    uint64_t pos = 12;
    while (pos + 8 <= size) {
        const uint32_t length = le32(data + pos + 4);
        if (std::memcmp(data + pos, "data", 4) == 0) {
            start = pos + 8;
            declared = length == 0xFFFFFFFFu ? size - start : length;
            return true;
        }
        pos += 8 + uint64_t(length) + (length & 1);
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryFile input(data, size);
    WavReader reader;
    std::string error;
    if (reader.open(input.path(), error) != WavRead::Ok)
        return 0;
    uint64_t start = 0, declared = 0;
    FUZZ_CHECK(findDataChunk(data, size, start, declared));
    std::vector<int16_t> samples(2048 * 2);
    uint64_t bytes = 0;
    for (;;) {
        const long got = reader.read(samples.data(), 2048);
        if (got <= 0)
            break;
        bytes += uint64_t(got) * uint64_t(reader.channels()) * 2;
    }
    FUZZ_CHECK(bytes <= declared);
    FUZZ_CHECK(bytes <= size - start);
    return 0;
}

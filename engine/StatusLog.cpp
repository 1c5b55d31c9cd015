#include "engine/StatusLog.h"

#include <cstdio>
#include <cstring>

namespace {

struct StatusBytes {
    char text[5];
    explicit StatusBytes(OSStatus status)
    {
        std::memcpy(text, &status, 4);
        text[4] = '\0';
    }
};

} // namespace

void PrintStatusLine(const char* prefix, OSStatus status)
{
    StatusBytes bytes(status);
    std::printf("%s %ld %08X %4.4s\n", prefix, long(status), unsigned(status), bytes.text);
}

void PrintStatusLineUnsigned(const char* prefix, OSStatus status)
{
    StatusBytes bytes(status);
    std::printf("%s %lu %4.4s\n", prefix, static_cast<unsigned long>(static_cast<UInt32>(status)), bytes.text);
}

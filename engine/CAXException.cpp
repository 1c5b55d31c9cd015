#include "engine/CAXException.h"

#include <cctype>
#include <cstdio>
#include <cstring>

CAX4CCString::CAX4CCString(OSStatus error)
{
    const auto word = UInt32(error);
    const unsigned char bytes[4] = {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
    bool printable = true;
    for (unsigned char c : bytes)
        printable = printable && std::isprint(c);
    if (printable)
        std::snprintf(mStr, sizeof(mStr), "'%c%c%c%c'", bytes[0], bytes[1], bytes[2], bytes[3]);
    else if (error > -200000 && error < 200000)
        std::snprintf(mStr, sizeof(mStr), "%d", int(error));
    else
        std::snprintf(mStr, sizeof(mStr), "0x%x", unsigned(word));
}

CAXException::CAXException(const char* operation, OSStatus error) : mError(error)
{
    if (operation == nullptr) {
        mOperation[0] = '\0';
        return;
    }
    std::strncpy(mOperation, operation, sizeof(mOperation) - 1);
    mOperation[sizeof(mOperation) - 1] = '\0';
}

char* CAXException::FormatError(char* str) const
{
    std::strcpy(str, CAX4CCString(mError).get());
    return str;
}

void CAXExceptionReport(const CAXException& exception)
{
    char text[16];
    std::fflush(stdout);
    std::fprintf(stderr, "Error: %s (%s)\n", exception.operation(), exception.FormatError(text));
}

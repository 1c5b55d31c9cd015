#pragma once
// The error carried out of a failing audio session step: what was being done and the
// status the platform answered. One handler around the steps writes it as
// "Error: %s (%s)\n" (operation, status text) to standard error.

#include "platform/coreaudio/CoreAudioTypes.h"

// A status as text: its four bytes, most significant first, in single quotes when all
// four are printable ('fmt?'); otherwise in decimal from -199999 to 199999, in
// hexadecimal ("0x%x") beyond.
class CAX4CCString {
public:
    explicit CAX4CCString(OSStatus error);
    const char* get() const { return mStr; }

private:
    char mStr[16];
};

class CAXException {
public:
    // The operation text is kept up to 255 characters.
    CAXException(const char* operation, OSStatus error);

    const char* operation() const { return mOperation; }
    OSStatus error() const { return mError; }
    // Writes the status text into str (at least 16 bytes) and answers str.
    char* FormatError(char* str) const;

private:
    char mOperation[256];
    OSStatus mError;
};

// Throws a CAXException with `operation` when `error` is not noErr.
inline void XThrowIfError(OSStatus error, const char* operation)
{
    if (error)
        throw CAXException(operation, error);
}

// The one handler's line: "Error: <operation> (<status text>)\n" on standard error.
void CAXExceptionReport(const CAXException& exception);

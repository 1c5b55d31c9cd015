#pragma once
// Diagnostic lines for failed platform calls, on standard output.

#include "platform/coreaudio/CoreAudioTypes.h"

// Prints "<prefix> %ld %08X %4.4s\n": the status as a signed decimal, as eight hex digits
// and as its four bytes in memory order read as characters.
void PrintStatusLine(const char* prefix, OSStatus status);

// Prints "<prefix> %lu %4.4s\n": the status as an unsigned 32-bit decimal and its four
// bytes in memory order.
void PrintStatusLineUnsigned(const char* prefix, OSStatus status);

#include "engine/CAComponentDescription.h"

#include <cctype>
#include <cstdio>

namespace {

std::string CodeText(OSType code)
{
    char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    bool printable = true;
    for (char c : bytes)
        printable = printable && std::isprint(static_cast<unsigned char>(c));
    char text[16];
    if (printable)
        std::snprintf(text, sizeof text, "'%c%c%c%c'", bytes[0], bytes[1], bytes[2], bytes[3]);
    else
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

} // namespace

CAComponentDescription::CAComponentDescription()
    : AudioComponentDescription{}
{
}

CAComponentDescription::CAComponentDescription(OSType type, OSType subType, OSType manufacturer)
    : AudioComponentDescription{type, subType, manufacturer, 0, 0}
{
}

std::string CAComponentDescription::AsString() const
{
    return CodeText(componentType) + " " + CodeText(componentSubType) + " " + CodeText(componentManufacturer);
}

#pragma once
// A component description built from its three codes, with both flag words zero.

#include "platform/audio/AudioUnitTypes.h"

#include <string>

class CAComponentDescription : public AudioComponentDescription {
public:
    CAComponentDescription();
    CAComponentDescription(OSType type, OSType subType, OSType manufacturer);

    OSType Type() const { return componentType; }
    OSType SubType() const { return componentSubType; }
    OSType Manufacturer() const { return componentManufacturer; }

    // "'aumx' '3dem' 'appl'" (codes whose bytes are not all printable as 0x%08X).
    std::string AsString() const;
};

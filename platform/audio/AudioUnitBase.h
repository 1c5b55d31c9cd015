#pragma once
// What every unit of the graph offers to the graph calls: properties, parameters and the
// initialised state. The concrete units are the 3D mixer and the output unit.

#include "platform/audio/AUGraph.h"

struct OpaqueAudioUnit {
    virtual ~OpaqueAudioUnit() = default;

    virtual OSStatus setProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                 const void* data, UInt32 dataSize) = 0;
    virtual OSStatus getProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                 void* data, UInt32* dataSize) = 0;
    virtual OSStatus setParameter(AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue)
    {
        return kAudioUnitErr_InvalidParameter;
    }
    // AudioUnitSetParameter with a buffer offset: by default the offset is not used.
    virtual OSStatus setParameterAt(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                                    AudioUnitParameterValue value, UInt32 /*bufferOffsetInFrames*/)
    {
        return setParameter(parameter, scope, element, value);
    }
    virtual OSStatus getParameter(AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue*)
    {
        return kAudioUnitErr_InvalidParameter;
    }
    // Drops what the unit holds of audio rendered before (AudioUnitReset).
    virtual OSStatus reset() { return noErr; }
    virtual OSStatus initialize() = 0;
    virtual void uninitialize() = 0;
    virtual const char* kindName() const = 0;

    bool isInitialized() const { return mInitialized; }

protected:
    bool mInitialized = false;
};

// Reads a property value of exactly sizeof(T) bytes, or answers why not.
template <typename T>
OSStatus ReadPropertyValue(const void* data, UInt32 dataSize, T* out)
{
    if (data == nullptr)
        return kAudio_ParamError;
    if (dataSize != sizeof(T))
        return kAudioUnitErr_InvalidPropertyValue;
    *out = *static_cast<const T*>(data);
    return noErr;
}

// Writes a property value when the caller's room is large enough.
template <typename T>
OSStatus WritePropertyValue(const T& value, void* data, UInt32* dataSize)
{
    if (data == nullptr || dataSize == nullptr)
        return kAudio_ParamError;
    if (*dataSize < sizeof(T))
        return kAudioUnitErr_InvalidPropertyValue;
    *static_cast<T*>(data) = value;
    *dataSize = sizeof(T);
    return noErr;
}

#pragma once
// Types, codes and numbers of the audio unit graph: component descriptions, the render
// callback and its time stamp, property, scope and parameter numbers. The statuses the graph
// answers with are in CoreAudioTypes.h with all the others.

#include "platform/coreaudio/CoreAudioTypes.h"

using OSType = UInt32;
using UInt64 = uint64_t;

struct AudioComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

// Component codes the graph knows.
constexpr OSType kAudioUnitType_Output = FourCC("auou");
constexpr OSType kAudioUnitSubType_RemoteIO = FourCC("rioc");
constexpr OSType kAudioUnitType_Mixer = FourCC("aumx");
constexpr OSType kAudioUnitSubType_AU3DMixerEmbedded = FourCC("3dem");
constexpr OSType kAudioUnitManufacturer_System = FourCC("appl");

// Render callback.
using AudioUnitRenderActionFlags = UInt32;
constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_OutputIsSilence = 1u << 4;

struct AudioTimeStamp {
    Float64 mSampleTime; // frames rendered on this bus since the graph started
    UInt64 mHostTime;    // steady clock, nanoseconds
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    UInt32 mFlags;
    UInt32 mReserved;
};
constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;
constexpr UInt32 kAudioTimeStampHostTimeValid = 1u << 1;

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                      UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void* inputProcRefCon;
};

// Properties, scopes, elements and parameters.
using AudioUnitPropertyID = UInt32;
using AudioUnitScope = UInt32;
using AudioUnitElement = UInt32;
using AudioUnitParameterID = UInt32;
using AudioUnitParameterValue = Float32;

constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;      // AudioStreamBasicDescription
constexpr AudioUnitPropertyID kAudioUnitProperty_ElementCount = 11;     // UInt32
constexpr AudioUnitPropertyID kAudioUnitProperty_MaximumFramesPerSlice = 14; // UInt32, read only here

constexpr AudioUnitScope kAudioUnitScope_Global = 0;
constexpr AudioUnitScope kAudioUnitScope_Input = 1;
constexpr AudioUnitScope kAudioUnitScope_Output = 2;

// 3D mixer parameters. Gain: decibels, -120 to +20, in the input scope (per bus) and the
// output scope (element 0). Playback rate: 0.5 to 2.0, input scope, per bus; varispeed, so
// tempo and pitch change together.
constexpr AudioUnitParameterID k3DMixerParam_Azimuth = 0;
constexpr AudioUnitParameterID k3DMixerParam_Elevation = 1;
constexpr AudioUnitParameterID k3DMixerParam_Distance = 2;
constexpr AudioUnitParameterID k3DMixerParam_Gain = 3;
constexpr AudioUnitParameterID k3DMixerParam_PlaybackRate = 4;

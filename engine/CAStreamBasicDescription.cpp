#include "engine/CAStreamBasicDescription.h"

#include <cctype>
#include <cstring>

namespace {

// The four-character code in single quotes, or its hex digits when a byte is not printable.
void FormatIDText(UInt32 id, char (&out)[16])
{
    char code[4] = {char(id >> 24), char(id >> 16), char(id >> 8), char(id)};
    bool printable = true;
    for (char c : code)
        printable = printable && std::isprint(static_cast<unsigned char>(c));
    if (printable)
        std::snprintf(out, sizeof out, "'%c%c%c%c'", code[0], code[1], code[2], code[3]);
    else
        std::snprintf(out, sizeof out, "0x%08X", static_cast<unsigned>(id));
}

} // namespace

CAStreamBasicDescription::CAStreamBasicDescription()
    : AudioStreamBasicDescription{}
{
}

CAStreamBasicDescription::CAStreamBasicDescription(const AudioStreamBasicDescription& description)
    : AudioStreamBasicDescription(description)
{
}

CAStreamBasicDescription::CAStreamBasicDescription(double sampleRate, UInt32 formatID, UInt32 bytesPerPacket,
                                                   UInt32 framesPerPacket, UInt32 bytesPerFrame,
                                                   UInt32 channelsPerFrame, UInt32 bitsPerChannel,
                                                   UInt32 formatFlags)
    : AudioStreamBasicDescription{sampleRate, formatID, formatFlags, bytesPerPacket, framesPerPacket,
                                  bytesPerFrame, channelsPerFrame, bitsPerChannel, 0}
{
}

CAStreamBasicDescription& CAStreamBasicDescription::operator=(const AudioStreamBasicDescription& description)
{
    static_cast<AudioStreamBasicDescription&>(*this) = description;
    return *this;
}

void CAStreamBasicDescription::SetCanonical(UInt32 channels, bool interleaved)
{
    mFormatID = kAudioFormatLinearPCM;
    mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    mBitsPerChannel = 16;
    mChannelsPerFrame = channels;
    mFramesPerPacket = 1;
    if (interleaved) {
        mBytesPerPacket = mBytesPerFrame = 2 * channels;
    } else {
        mBytesPerPacket = mBytesPerFrame = 2;
        mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    }
}

void CAStreamBasicDescription::SetAUCanonical(UInt32 channels, bool interleaved)
{
    mFormatID = kAudioFormatLinearPCM;
    mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked
                 | (24u << kLinearPCMFormatFlagsSampleFractionShift);
    mBitsPerChannel = 32;
    mChannelsPerFrame = channels;
    mFramesPerPacket = 1;
    if (interleaved) {
        mBytesPerPacket = mBytesPerFrame = 4 * channels;
    } else {
        mBytesPerPacket = mBytesPerFrame = 4;
        mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    }
}

UInt32 CAStreamBasicDescription::SampleWordSize() const
{
    UInt32 perBuffer = NumberInterleavedChannels();
    if (mBytesPerFrame == 0 || perBuffer == 0)
        return 0;
    return mBytesPerFrame / perBuffer;
}

char* CAStreamBasicDescription::AsString(char* buffer, size_t bufferSize) const
{
    if (buffer == nullptr || bufferSize == 0)
        return buffer;
    char id[16];
    FormatIDText(mFormatID, id);
    int used = std::snprintf(buffer, bufferSize, "%2d ch, %6.0f Hz, %s (0x%08X) ",
                             static_cast<int>(mChannelsPerFrame), mSampleRate, id,
                             static_cast<unsigned>(mFormatFlags));
    if (used < 0 || size_t(used) >= bufferSize)
        return buffer;
    char* rest = buffer + used;
    size_t room = bufferSize - size_t(used);

    if (!IsPCM()) {
        std::snprintf(rest, room, "%d bits/channel, %d bytes/packet, %d frames/packet, %d bytes/frame",
                      static_cast<int>(mBitsPerChannel), static_cast<int>(mBytesPerPacket),
                      static_cast<int>(mFramesPerPacket), static_cast<int>(mBytesPerFrame));
        return buffer;
    }

    char bits[24];
    UInt32 fraction = FractionBits();
    if (fraction > 0)
        std::snprintf(bits, sizeof bits, "%d.%d", static_cast<int>(mBitsPerChannel - fraction),
                      static_cast<int>(fraction));
    else
        std::snprintf(bits, sizeof bits, "%d", static_cast<int>(mBitsPerChannel));

    // Byte order only matters for samples wider than one byte.
    UInt32 word = SampleWordSize();
    const char* endian = "";
    if (word > 1 || mBitsPerChannel > 8)
        endian = IsBigEndian() ? " big-endian" : " little-endian";
    const char* sign = "";
    if (!IsFloat())
        sign = IsSignedInteger() ? " signed" : " unsigned";
    const char* kind = IsFloat() ? "float" : "integer";

    // Packing and alignment are worth saying only when the samples do not fill their words.
    char packing[40] = "";
    const char* separator = "";
    const char* alignment = "";
    if (word > 0 && word * 8 != mBitsPerChannel) {
        separator = ", ";
        bool packed = (mFormatFlags & kAudioFormatFlagIsPacked) != 0;
        std::snprintf(packing, sizeof packing, "%s in %d bytes", packed ? "packed" : "unpacked",
                      static_cast<int>(word));
        if (!packed)
            alignment = (mFormatFlags & kAudioFormatFlagIsAlignedHigh) ? " high-aligned" : " low-aligned";
    }
    const char* layout = IsInterleaved() ? "" : ", deinterleaved";

    std::snprintf(rest, room, "%s-bit%s%s %s%s%s%s%s", bits, endian, sign, kind, separator, packing,
                  alignment, layout);
    return buffer;
}

std::string CAStreamBasicDescription::AsString() const
{
    char text[256];
    return AsString(text, sizeof text);
}

void CAStreamBasicDescription::PrintFormat(FILE* file, const char* indent, const char* label) const
{
    char text[256];
    std::fprintf(file, "%s%s %s\n", indent ? indent : "", label ? label : "", AsString(text, sizeof text));
}

void CAStreamBasicDescription::Print() const
{
    PrintFormat(stdout, "", "AudioStreamBasicDescription:");
}

bool CAStreamBasicDescription::operator==(const AudioStreamBasicDescription& other) const
{
    return mSampleRate == other.mSampleRate && mFormatID == other.mFormatID
        && mFormatFlags == other.mFormatFlags && mBytesPerPacket == other.mBytesPerPacket
        && mFramesPerPacket == other.mFramesPerPacket && mBytesPerFrame == other.mBytesPerFrame
        && mChannelsPerFrame == other.mChannelsPerFrame && mBitsPerChannel == other.mBitsPerChannel
        && mReserved == other.mReserved;
}

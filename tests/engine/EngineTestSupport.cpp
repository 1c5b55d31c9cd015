#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioTestFaults.h"
#include "platform/audiofile/ExtAudioFile.h"
#include "platform/session/AudioSession.h"
#include "qbs/QBS.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    char name[] = "/tmp/engine-stdout-XXXXXX";
    const int fd = mkstemp(name);
    mPath = name;
    mSaved = dup(1);
    dup2(fd, 1);
    close(fd);
}

StdoutCapture::~StdoutCapture()
{
    finish();
}

std::string StdoutCapture::finish()
{
    if (mDone)
        return mText;
    mDone = true;
    std::fflush(stdout);
    dup2(mSaved, 1);
    close(mSaved);
    std::ifstream in(mPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    mText = text.str();
    std::remove(mPath.c_str());
    return mText;
}

std::string CaptureStdout(const std::function<void()>& work)
{
    StdoutCapture capture;
    work();
    return capture.finish();
}

std::string StatusLine(const std::string& prefix, OSStatus status)
{
    char bytes[5];
    std::memcpy(bytes, &status, 4);
    bytes[4] = 0;
    char line[256];
    std::snprintf(line, sizeof line, "%s %ld %08X %4.4s\n", prefix.c_str(), long(status), unsigned(status), bytes);
    return line;
}

std::string StatusLineUnsigned(const std::string& prefix, OSStatus status)
{
    char bytes[5];
    std::memcpy(bytes, &status, 4);
    bytes[4] = 0;
    char line[256];
    std::snprintf(line, sizeof line, "%s %lu %4.4s\n", prefix.c_str(), (unsigned long)(uint32_t)status, bytes);
    return line;
}

bool RunCommand(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

Fixtures::Fixtures()
{
    EXPECT_TRUE(mDir.isValid());
}

std::string Fixtures::make(const std::string& name, double seconds, int rate, int channels, const std::string& codec)
{
    const std::string out = path(name);
    std::ostringstream cmd;
    // Two tones, different on each side, so that channel mix-ups show.
    cmd << "ffmpeg -nostdin -y -v error -f lavfi -i \"aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*1250*t)|"
        << "0.3*sin(2*PI*660*t)+0.25*sin(2*PI*3100*t):s=" << rate << ":d=" << seconds << "\" -ac " << channels
        << " " << codec << " '" << out << "'";
    EXPECT_TRUE(RunCommand(cmd.str())) << cmd.str();
    return out;
}

std::string Fixtures::path(const std::string& name) const
{
    return QDir(mDir.path()).filePath(QString::fromStdString(name)).toStdString();
}

QString Fixtures::url(const std::string& name) const
{
    return QUrl::fromLocalFile(QString::fromStdString(path(name))).toString(QUrl::FullyEncoded);
}

std::vector<int16_t> DecodeStereo(const std::string& path, SInt64 fromFrame)
{
    std::vector<int16_t> samples;
    ExtAudioFileRef file = nullptr;
    if (ExtAudioFileOpenURL(path, &file) != noErr)
        return samples;
    AudioStreamBasicDescription client{44100.0, kAudioFormatLinearPCM, 12, 4, 1, 4, 2, 16, 0};
    ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client);
    if (fromFrame > 0)
        ExtAudioFileSeek(file, fromFrame);
    std::vector<int16_t> block(4096 * 2);
    for (;;) {
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = {2, UInt32(block.size() * 2), block.data()};
        UInt32 frames = 4096;
        if (ExtAudioFileRead(file, &frames, &list) != noErr || frames == 0)
            break;
        samples.insert(samples.end(), block.begin(), block.begin() + frames * 2);
    }
    ExtAudioFileDispose(file);
    return samples;
}

void ResetEngineState()
{
    AudioTestClearFaults();
    ExtAudioFileClearFailures();
    AudioOutputSetCapture(nullptr);
    AudioOutputForceNull(true);
    AudioSessionResetForTesting();
    DockingModeOnOffFlag = false;
    StereoModeOnOffFlag = false;
    EqModeOnOffFlag = false;
    StageModeOnOffFlag = false;
    PTCEnable = false;
    speedvalue = 100;
    ptValue = 6;
    SeekLock = false;
    mSeekFlag = false;
    {
        std::lock_guard lock(PlayTimerUpdateMutex);
        PlayTimerUpdateDictionary.reset();
    }
    // What the speed/pitch block carries across Init.
    Prev_Sample_Index = 0;
    Window_Index = 0;
    L_Prev_Sample = 0;
    R_Prev_Sample = 0;
    QBS_MEQ_Set_Mode(0);
    QBS_M3D_SURR = 10;
    QBS_M3D_BASS = 2;
    QBS_MOS_PRESET = 0;
}

std::vector<int16_t> ApplyEffectOffline(int mode, const std::vector<int16_t>& input, size_t blockFrames)
{
    Prev_Sample_Index = 0;
    Window_Index = 0;
    L_Prev_Sample = 0;
    R_Prev_Sample = 0;
    QBS_MEQ_Init(2, 44100);
    QBS_M3D_Init(2, 44100);
    QBS_MOS_Init(2, 44100);
    QBS_PTC_Init(2, 44100);

    const size_t blockSamples = blockFrames * 2;
    const size_t blocks = (input.size() + blockSamples - 1) / blockSamples;
    std::vector<int16_t> padded(input);
    padded.resize(blocks * blockSamples, 0);
    std::vector<int16_t> out(padded.size(), 0);
    for (size_t b = 0; b < blocks; ++b) {
        const int16_t* in = padded.data() + b * blockSamples;
        int16_t* o = out.data() + b * blockSamples;
        switch (mode) {
        case 0: QBSt_MEQ(o, in, int32_t(blockSamples)); break;
        case 1: QBSt_M3D(o, in, int32_t(blockSamples)); break;
        case 2: QBSt_MOS(o, in, int32_t(blockSamples)); break;
        case 3: QBS_PTC(o, in, int32_t(blockSamples)); break;
        default: QBS_BYPASS(o, in, int32_t(blockSamples)); break;
        }
    }
    return out;
}

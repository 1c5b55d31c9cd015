#include "engine/EngineGlobals.h"

AUGraph mGraph = nullptr;
AudioUnit mMixer = nullptr;
AUNode mMixerNode = 0;
AudioUnit mOutputUnit = nullptr;
CAStreamBasicDescription mClientFormat;
CAStreamBasicDescription mOutputFormat;

std::atomic<bool> DockingModeOnOffFlag{false};
std::atomic<bool> StereoModeOnOffFlag{false};
std::atomic<bool> EqModeOnOffFlag{false};
std::atomic<bool> StageModeOnOffFlag{false};
std::atomic<bool> PTCEnable{false};
std::atomic<int16_t> speedvalue{100};
std::atomic<int16_t> ptValue{6};
const int16_t array[14] = {-6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 0};

std::atomic<ExtAudioFileRef> mxafref{nullptr};
std::atomic<UInt32> mFileChannels{2};
std::atomic<bool> SeekLock{false};
std::atomic<bool> mSeekFlag{false};
std::atomic<bool> mFileReadFlag{false};
std::atomic<bool> mFirstReadStarted{false};

std::optional<QVariantMap> PlayTimerUpdateDictionary;
std::mutex PlayTimerUpdateMutex;

#pragma once
// The engine's process-wide state: one graph, one mixer, one pair of stream formats, one
// open track file and one set of effect flags per process. Values that the render thread
// shares with the other threads are atomics; a change takes effect at the next block.

#include "engine/CAStreamBasicDescription.h"
#include "platform/audio/AUGraph.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

// ---- Graph and formats ----------------------------------------------------------------
extern AUGraph mGraph;
extern AudioUnit mMixer;
extern AUNode mMixerNode;
// The output unit: AudioUnitReset on it drops what the audio server holds.
extern AudioUnit mOutputUnit;
// The audio the engine handles: the mixer's input format and the client format files are
// decoded to (16-bit interleaved, 44100 Hz, 2 or 1 channels).
extern CAStreamBasicDescription mClientFormat;
// The mixer's output format (8.24 fixed point, non-interleaved stereo).
extern CAStreamBasicDescription mOutputFormat;

// ---- Effect flags and speed/pitch -----------------------------------------------------
// Master switch: while clear, every block is bypassed.
extern std::atomic<bool> DockingModeOnOffFlag;
extern std::atomic<bool> StereoModeOnOffFlag;
extern std::atomic<bool> EqModeOnOffFlag;
extern std::atomic<bool> StageModeOnOffFlag;
extern std::atomic<bool> PTCEnable;
// Speed in percent of normal, and pitch as an index into `array` (6 = unchanged).
extern std::atomic<int16_t> speedvalue;
extern std::atomic<int16_t> ptValue;
// Every effect is initialised with this headroom shift at this rate.
inline constexpr int16_t kEffectHeadroomShift = 2;
inline constexpr int32_t kEffectSampleRate = 44100;
// Pitch steps in semitones by index; indexes 0 to 12 are used.
extern const int16_t array[14];

// ---- Track file and position ----------------------------------------------------------
extern std::atomic<ExtAudioFileRef> mxafref;
// Channels of the client format the open file was opened with.
extern std::atomic<UInt32> mFileChannels;
// While set, the render callback outputs silence and reads nothing.
extern std::atomic<bool> SeekLock;
// Position reports are on.
extern std::atomic<bool> mSeekFlag;
// False while a read is in progress on the render thread, true after it has finished.
extern std::atomic<bool> mFileReadFlag;
// Set by the first read since launch.
extern std::atomic<bool> mFirstReadStarted;

// The payload of the periodic position report: absent before the first start, replaced by
// an empty one at every start. Guarded by PlayTimerUpdateMutex (main and import threads).
extern std::optional<QVariantMap> PlayTimerUpdateDictionary;
extern std::mutex PlayTimerUpdateMutex;


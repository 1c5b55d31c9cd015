// Effect mode control: the mode call that keeps at most one effect selected, the effect
// parameters, the speed and pitch pair, and the initialisation of all effects.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "engine/RenderGate.h"
#include "platform/foundation/RunLoop.h"
#include "qbs/QBS.h"

#include <cstdio>

namespace {

constexpr int16_t kHeadroomShift = kEffectHeadroomShift;
constexpr int32_t kEffectRate = kEffectSampleRate;

// Re-initialises one effect module while the render thread cannot be processing it: the
// module's flag is cleared first and the block in progress, if any, is waited for. The
// caller sets the flags it wants afterwards.
template <typename Init>
void ReinitialiseDeselected(std::atomic<bool>& flag, Init init)
{
    flag.store(false, std::memory_order_seq_cst);
    RenderGate::waitForRenderIdle();
    init(kHeadroomShift, kEffectRate);
}

} // namespace

void AUGraphController::setModeChange(int mode, int8_t on)
{
    std::printf("setMode Mode 0: EQ , 1: 3D, 2:Stage, 3:Speed/Picth, 4:Docking\n");
    std::printf("setModeChange Mode %d, On/Off %d \n", mode, int(on));

    switch (mode) {
    case EffectModeEqualizer:
        if (on) {
            std::printf("EQ On\n");
            if (PTCEnable.load())
                setSpeedNormal(100);
            ReinitialiseDeselected(EqModeOnOffFlag, QBS_MEQ_Init);
            PTCEnable.store(false, std::memory_order_seq_cst);
            EqModeOnOffFlag.store(true, std::memory_order_seq_cst);
            StereoModeOnOffFlag.store(false, std::memory_order_seq_cst);
            StageModeOnOffFlag.store(false, std::memory_order_seq_cst);
        } else {
            EqModeOnOffFlag.store(false, std::memory_order_seq_cst);
            std::printf("EQ  Off");
        }
        LockSeekChange(false);
        break;

    case EffectModeStereo3D:
        if (on) {
            if (PTCEnable.load())
                setSpeedNormal(100);
            std::printf("3D Stereo On\n");
            ReinitialiseDeselected(StereoModeOnOffFlag, QBS_M3D_Init);
            PTCEnable.store(false, std::memory_order_seq_cst);
            StereoModeOnOffFlag.store(true, std::memory_order_seq_cst);
            StageModeOnOffFlag.store(false, std::memory_order_seq_cst);
            EqModeOnOffFlag.store(false, std::memory_order_seq_cst);
        } else {
            std::printf("3D Stereo Off\n");
            StereoModeOnOffFlag.store(false, std::memory_order_seq_cst);
        }
        break;

    case EffectModeStage:
        if (on) {
            if (PTCEnable.load())
                setSpeedNormal(100);
            ReinitialiseDeselected(StageModeOnOffFlag, QBS_MOS_Init);
            PTCEnable.store(false, std::memory_order_seq_cst);
            StageModeOnOffFlag.store(true, std::memory_order_seq_cst);
            EqModeOnOffFlag.store(false, std::memory_order_seq_cst);
            StereoModeOnOffFlag.store(false, std::memory_order_seq_cst);
            std::printf("Stage On\n");
        } else {
            std::printf("Stage Off\n");
            StageModeOnOffFlag.store(false, std::memory_order_seq_cst);
        }
        break;

    case EffectModeSpeedPitch:
        if (on) {
            // The lock silences the output and keeps every block away from the speed/pitch
            // module while it is loaded and re-initialised.
            LockSeekChange(true);
            RenderGate::waitForRenderIdle();
            StereoModeOnOffFlag.store(false, std::memory_order_seq_cst);
            StageModeOnOffFlag.store(false, std::memory_order_seq_cst);
            EqModeOnOffFlag.store(false, std::memory_order_seq_cst);
            QBS_PTC_Set(speedvalue.load(), array[ptValue.load()]);
            QBS_PTC_Init(kHeadroomShift, kEffectRate);
            PTCEnable.store(true, std::memory_order_seq_cst);
            std::printf("SpeedPitch On\n");
            scheduleLockRelease();
        } else {
            PTCEnable.store(false, std::memory_order_seq_cst);
            // A speed change the render thread has not carried out yet goes to the mixer now.
            if (const int pending = mPendingSpeed.exchange(0); pending != 0)
                setSpeedNormal(pending);
            std::printf("SpeedPitch Off\n");
        }
        break;

    case EffectModeDocking:
        DockingModeOnOffFlag.store(on != 0, std::memory_order_seq_cst);
        std::printf("Docking %d\n", int(on));
        LockSeekChange(false);
        break;

    default:
        break;
    }
}

void AUGraphController::scheduleLockRelease()
{
    std::weak_ptr<int> alive = mAlive;
    auto arm = [this, alive] {
        if (alive.expired())
            return;
        if (!mLockReleaseTimer)
            mLockReleaseTimer = std::make_unique<DelayedCall>();
        mLockReleaseTimer->schedule(mLockReleaseDelay, [this] { DelayLockEnabl(); });
    };
    // The release runs on the main run loop, where the settings calls come from.
    if (RunLoop::isMainThread())
        arm();
    else
        RunLoop::performOnMainThread(arm, false);
}

void AUGraphController::setSpeedPitch(int selector, int value)
{
    if (selector == 1) {
        speedvalue.store(int16_t(value * 10));
        if (PTCEnable.load()) {
            std::printf("setSpeedPitch speed value:%d\n", int(speedvalue.load()));
            std::printf("QBS_Speed:%d QBS_Pitch:%d", int(speedvalue.load()), int(array[ptValue.load()]));
            // The mixer's rate and the effect's pitch compensation change together: the
            // render thread sets the effect's rates between two blocks and the mixer's rate
            // at the first frame the effect delivers with them (see render()).
            mPendingSpeed.store(speedvalue.load(), std::memory_order_release);
        } else {
            setSpeedNormal(speedvalue.load());
        }
    } else if (selector == 2) {
        // Pitch 1..13 selects the steps -6..+6; anything else would index past the table.
        if (value < 1 || value > 13)
            return;
        ptValue.store(int16_t(value - 1));
        std::printf("setSpeedPitch PT value:%d , speedvalue:%d\n", int(array[ptValue.load()]), int(speedvalue.load()));
        QBS_PTC_Set(speedvalue.load(), array[ptValue.load()]);
    }
}

void AUGraphController::setEQMode(int preset)
{
    std::printf("QBS_MEQ_Set_Mode:%d\n", preset);
    QBS_MEQ_Set_Mode(int16_t(preset));
}

void AUGraphController::setUserEQBand(int band, int value)
{
    // Only the seven bands exist.
    if (band < 0 || band >= 7)
        return;
    std::printf("Band:%d, value:%d\n", band, value);
    QBS_MEQ_BAND[band].store(int16_t(value), std::memory_order_relaxed);
}

void AUGraphController::set3DStereoValue(int which, int value)
{
    if (which) {
        std::printf("QBS_M3D_BASS  value:%d\n", value);
        QBS_M3D_BASS.store(int16_t(value), std::memory_order_relaxed);
    } else {
        std::printf("QBS_M3D_SURR  value:%d\n", value);
        QBS_M3D_SURR.store(int16_t(value), std::memory_order_relaxed);
    }
}

void AUGraphController::setStageMode(int preset)
{
    std::printf("QBS_MOS_PRESET  value:%d\n", preset);
    QBS_MOS_PRESET.store(int16_t(preset), std::memory_order_relaxed);
}

void AUGraphController::QBSInit()
{
    QBS_MEQ_Init(kHeadroomShift, kEffectRate);
    QBS_M3D_Init(kHeadroomShift, kEffectRate);
    QBS_MOS_Init(kHeadroomShift, kEffectRate);
    QBS_PTC_Init(kHeadroomShift, kEffectRate);
}

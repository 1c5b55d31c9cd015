#include "tools/qbs-render/EffectRunner.h"

#include "qbs/QBS.h"


void prepareEffect(const RenderOptions& o)
{
    const int16_t shift = int16_t(o.shift);
    const int32_t rate = o.rate;
    switch (o.effect) {
    case RenderEffect::Bypass:
        break; // no Init: the bypass always shifts by its start value
    case RenderEffect::Equalizer:
        QBS_MEQ_Init(shift, rate);
        if (o.preset)
            QBS_MEQ_Set_Mode(int16_t(*o.preset));
        if (o.bands)
            for (int b = 0; b < 7; ++b)
                QBS_MEQ_BAND[b] = int16_t((*o.bands)[size_t(b)]);
        break;
    case RenderEffect::Stereo3D:
        QBS_M3D_Init(shift, rate);
        if (o.surround)
            QBS_M3D_SURR = int16_t(*o.surround);
        if (o.bass)
            QBS_M3D_BASS = int16_t(*o.bass);
        break;
    case RenderEffect::Stage:
        QBS_MOS_Init(shift, rate);
        if (o.stagePreset)
            QBS_MOS_PRESET = int16_t(*o.stagePreset);
        break;
    case RenderEffect::SpeedPitch:
        QBS_PTC_Init(shift, rate);
        QBS_PTC_Set(int16_t(o.speed), int16_t(o.pitch));
        QBS_PTC_Init(shift, rate);
        break;
    }
}

void processBlock(const RenderOptions& o, int16_t* out, const int16_t* in, int32_t count)
{
    switch (o.effect) {
    case RenderEffect::Bypass: QBS_BYPASS(out, in, count); break;
    case RenderEffect::Equalizer: QBSt_MEQ(out, in, count); break;
    case RenderEffect::Stereo3D: QBSt_M3D(out, in, count); break;
    case RenderEffect::Stage: QBSt_MOS(out, in, count); break;
    case RenderEffect::SpeedPitch: QBS_PTC(out, in, count); break;
    }
}

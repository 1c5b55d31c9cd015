// The pass-through block.
#include "qbs/QBS_Bypass.h"

int16_t QBS_BYPASS_Prescale = 2;

void QBS_BYPASS(int16_t* out, const int16_t* in, int32_t count) {
  const int shift =
      (QBS_BYPASS_Prescale >= 0 && QBS_BYPASS_Prescale <= 15) ? QBS_BYPASS_Prescale : 2;
  const int32_t samples = count > 0 ? count & ~1 : 0;
  for (int32_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(in[i] >> shift);
}

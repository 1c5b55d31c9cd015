// The frame counts of the speed/pitch block, without its samples: how many input frames are
// queued, how many output frames wait, the resampler phase, and what each call writes and
// drops. None of these depends on the sample values (the search only chooses where a segment
// starts, not how much it consumes or yields), so a whole five-minute run costs a few
// thousand steps. Written from the block's rules, not from its code; the tests check that it
// agrees with the block call for call before they trust it with the settings the block
// itself is not run at.
#pragma once

#include <algorithm>
#include <cstdint>

#include "qbs/QBS_PTC.h"

struct PtcCountModel {
  // 44100 Hz sizes.
  static constexpr int64_t kOverlap = 512, kWindow = 3617, kScan = 618;
  static constexpr int64_t kSegment = kWindow - kOverlap;  // stretched frames per segment
  static constexpr int64_t kInCap = 13352, kOutCap = 24576;

  int64_t rate = 0, hop = 0, required = 0;
  int64_t queued_in = 0, queued_out = 0;
  int64_t phase = 0;  // Q16; at program start 0
  bool have_tail = false, delivering = false;
  int64_t dropped = 0;

  void set(int speed, int pitch) {
    const int i = (pitch + 6) * 151 + (speed - 50);
    rate = Target_Rate_Table[i];
    hop = (kSegment * Tempo_Table[i] + 32768) >> 16;
    required = std::max(hop + kOverlap, kWindow) + kScan;
  }

  // Init: the queues empty, the output count and the phase stay.
  void init() { queued_in = 0, have_tail = delivering = false; }

  // One segment. Counting positions from the previous segment's last sample (0) in steps of
  // 1/65536, this segment's samples lie at 65536, 2 * 65536, ..., kSegment * 65536, and the
  // resampler reads at phase, phase + rate, ... up to the last one; the phase then carries
  // over past the last sample. The segment consumes what it yielded.
  void segment() {
    const int64_t last = kSegment * 65536;
    const int64_t made = phase <= last ? (last - phase) / rate + 1 : 0;
    phase += made * rate - last;
    queued_in -= std::min(made, queued_in);
    queued_out += made;
    if (queued_out > kOutCap) dropped += queued_out - kOutCap, queued_out = kOutCap;
  }

  // One call with `frames` frames; answers how many frames it writes.
  int64_t call(int64_t frames) {
    int64_t done = 0;
    do {
      const int64_t taken = std::min(frames - done, kInCap - queued_in);
      queued_in += taken, done += taken;
      if (!have_tail) {
        if (queued_in < kOverlap) return 0;
        queued_in -= kOverlap, have_tail = true;
      }
      while (queued_in >= required) segment();
      if (taken == 0) break;
    } while (done < frames);
    if (!delivering) {
      if (queued_out < std::min(frames + hop, kOutCap)) return 0;
      delivering = true;
    }
    const int64_t n = std::min(frames, queued_out);
    queued_out -= n;
    return n;
  }
};

// A plain model of the speed/pitch block, written step by step and kept deliberately
// naive: growing queues, the search weights recomputed for every candidate, one output
// queue append per sample, each segment consuming as many input frames as it appended.
// The tests run it beside the module and compare every sample.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "qbs/QBS_PTC.h"

struct PtcModel {
  int shift = 1, scan = 618, window = 3617, overlap = 512, exp = 9, slider = 87381;
  int target_rate = 0, hop = 0, required = 0;
  int phase = 0;
  int16_t prev[2] = {0, 0};
  bool have_tail = false, delivering = false;
  long long dropped = 0;
  std::vector<int16_t> in[2], tail[2], fifo[2];

  void init(int s, int rate) {
    shift = (s >= 0 && s <= 2) ? s : 1;
    const int r[7][6] = {{8000, 112, 656, 128, 7, 5461},     {11025, 155, 905, 256, 8, 21845},
                         {16000, 224, 1312, 256, 8, 21845},  {22050, 309, 1809, 512, 9, 87381},
                         {36000, 504, 2952, 512, 9, 87381},  {48000, 672, 3936, 512, 9, 87381},
                         {44100, 618, 3617, 512, 9, 87381}};
    int row = 6;
    for (int i = 0; i < 6; ++i)
      if (r[i][0] == rate) row = i;
    scan = r[row][1], window = r[row][2], overlap = r[row][3], exp = r[row][4], slider = r[row][5];
    have_tail = delivering = false;
    for (int c = 0; c < 2; ++c) {
      in[c].clear();
      std::fill(fifo[c].begin(), fifo[c].end(), 0);
    }
  }

  void set(int s, int p) {
    s = std::clamp(s, 50, 200), p = std::clamp(p, -6, 6);
    const int i = (p + 6) * 151 + (s - 50);
    target_rate = Target_Rate_Table[i];
    hop = ((window - overlap) * Tempo_Table[i] + 32768) >> 16;
    required = window < hop + overlap ? hop + overlap + scan : window + scan;
  }

  int score(int pos) const {
    int sum = 0;
    for (int n = 1; n < overlap; ++n) {
      const int16_t w = static_cast<int16_t>(n * tail[0][n] * (overlap - n) / slider);
      sum += (w * in[0][pos + n]) >> exp;
    }
    return sum;
  }

  void segment() {
    int best_score = -1, best = 0;
    for (int stage = 0; stage < 4; ++stage) {
      const int base = stage == 0 ? 0 : best;
      for (int i = 0; i < 24 && Search_Offset_Table[stage][i] != 0; ++i) {
        const int pos = base + Search_Offset_Table[stage][i];
        if (pos >= scan) break;
        if (pos >= 0 && score(pos) > best_score) best_score = score(pos), best = pos;
      }
    }
    std::vector<int16_t> seg[2];
    for (int c = 0; c < 2; ++c) {
      for (int n = 0; n < overlap; ++n)
        seg[c].push_back(((overlap - n) * tail[c][n] + n * in[c][best + n]) >> exp);
      for (int i = 0; i < window - 2 * overlap; ++i) seg[c].push_back(in[c][best + overlap + i]);
      tail[c].assign(in[c].begin() + best + window - overlap, in[c].begin() + best + window);
    }
    // Resampler: both channels share the phase.
    int ph = phase;
    size_t made = 0;
    auto emit = [&](int a0, int a1, int b0, int b1) {
      push((ph * a1 + a0 * (65536 - ph)) >> 16, (ph * b1 + b0 * (65536 - ph)) >> 16);
      ph += target_rate;
      ++made;
    };
    while (ph <= 65536) emit(prev[0], seg[0][0], prev[1], seg[1][0]);
    ph -= 65536;
    const int size = static_cast<int>(seg[0].size());
    for (int k = 0; k != size - 1;) {
      if (ph <= 65536) {
        emit(seg[0][k], seg[0][k + 1], seg[1][k], seg[1][k + 1]);
      } else {
        ph -= 65536;
        ++k;
      }
    }
    phase = ph;
    prev[0] = seg[0].back(), prev[1] = seg[1].back();
    for (int c = 0; c < 2; ++c) in[c].erase(in[c].begin(), in[c].begin() + std::min(made, in[c].size()));
  }

  void push(int l, int r) {
    if (fifo[0].size() >= 24576) return (void)++dropped;
    fifo[0].push_back(static_cast<int16_t>(l));
    fifo[1].push_back(static_cast<int16_t>(r));
  }

  void process(int16_t* out, const int16_t* samples, int count) {
    const int frames = std::max(count, 0) / 2;
    if (hop == 0) return;  // never Set: the block does nothing
    for (int i = 0; i < frames; ++i)
      for (int c = 0; c < 2; ++c) in[c].push_back(samples[2 * i + c] >> shift);
    if (!have_tail) {
      if (in[0].size() < static_cast<size_t>(overlap)) return;
      for (int c = 0; c < 2; ++c) {
        tail[c].assign(in[c].begin(), in[c].begin() + overlap);
        in[c].erase(in[c].begin(), in[c].begin() + overlap);
      }
      have_tail = true;
    }
    while (in[0].size() >= static_cast<size_t>(required)) segment();
    if (!delivering) {
      if (fifo[0].size() < std::min<size_t>(frames + hop, 24576)) return;
      delivering = true;
    }
    const int n = std::min<int>(frames, static_cast<int>(fifo[0].size()));
    for (int i = 0; i < n; ++i) out[2 * i] = fifo[0][i], out[2 * i + 1] = fifo[1][i];
    for (int c = 0; c < 2; ++c) fifo[c].erase(fifo[c].begin(), fifo[c].begin() + n);
  }
};

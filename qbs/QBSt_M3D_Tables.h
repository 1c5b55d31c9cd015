// Tables of the 3D stereo widener (QBSt_M3D), for 44100 Hz.
//
// Q14 = value / 16384, Q15 = value / 32768. The first three tables are indexed by the
// surround level (0..10), the others by the bass level (0..10).
#pragma once

#include <cstdint>

// Surround level: share of the plain input, of the widened signal, and of the sum signal
// added to both channels (Q15).
inline constexpr int32_t M3D_Mid_Gain[11] = {32767, 29491, 26214, 22938, 19661, 16384,
                                             13107, 9830,  6554,  3277,  0};
inline constexpr int32_t M3D_Sur_Gain[11] = {0,     3277,  6554,  9830,  13107, 16384,
                                             19661, 22938, 26214, 29491, 32767};
inline constexpr int32_t M3D_Cmp_Gain[11] = {0,    413,  825,  1238, 1650, 2063,
                                             2475, 2888, 3300, 3713, 4125};

// Bass level: first-order low-pass of the sum signal, unity gain at 0 Hz, corner from
// about 1 kHz (level 0) to 520 Hz (level 10), Q15; and its boost, 0.9 dB per level, Q14.
inline constexpr int32_t M3D_ALPHA_L[11] = {2180, 2074, 1968, 1863, 1758, 1655,
                                            1554, 1456, 1360, 1268, 1179};
inline constexpr int32_t M3D_GAMMA_L[11] = {28408, 28619, 28831, 29042, 29251, 29457,
                                            29659, 29856, 30047, 30232, 30410};
inline constexpr int32_t M3D_MU_L[11] = {0,     1789,  3773,  5973,  8414, 11122,
                                         14124, 17455, 21150, 25247, 29792};

// Bass level: second-order band-pass of the sum signal near 400 Hz, Q14; and its cut,
// 0.3 dB per level, Q15.
inline constexpr int32_t M3D_ALPHA_H[11] = {454, 462, 469, 477, 484, 492,
                                            499, 507, 514, 522, 529};
inline constexpr int32_t M3D_GAMMA_H[11] = {31808, 31793, 31778, 31763, 31748, 31733,
                                            31718, 31703, 31688, 31673, 31658};
inline constexpr int32_t M3D_BETA_H[11] = {-15476, -15461, -15446, -15430, -15415, -15400,
                                           -15385, -15370, -15355, -15341, -15326};
inline constexpr int32_t M3D_MU_H[11] = {0,     -1112, -2187, -3225, -4228, -5197,
                                         -6133, -7037, -7911, -8755, -9570};

// The two fixed seventh-order filters, Q15: b[k] is the factor on the input k frames
// back (b[0] on the current one), a[k] the factor on the output k frames back (a[0]
// unused). The sum filter lifts the presence region around 8 kHz; the difference filter
// lifts the side signal below about 4 kHz.
inline constexpr int32_t M3D_SUM_B[8] = {30363, 16322, 6157, 10207, -2546, -8120, -2779, 239};
inline constexpr int32_t M3D_SUM_A[8] = {0, -6747, -27338, -14696, -5426, -3195, 5115, 3827};
inline constexpr int32_t M3D_DIFF_B[8] = {27109, 9542,   -6590,  -2943,
                                          -18743, -16885, -5141, 5521};
inline constexpr int32_t M3D_DIFF_A[8] = {0, 8785, 2792, 9404, 16810, 8185, -4555, -13002};

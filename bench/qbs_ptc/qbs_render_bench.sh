#!/usr/bin/env bash
# qbs-render as a whole process, against SoundTouch's soundstretch when it is installed
# (Debian package soundstretch; not a dependency of the project, the peer is skipped when
# it is missing):
#   - 60 s of stereo WAV at speed 100 pitch +3, qbs-render and
#     `soundstretch in.wav out.wav -pitch=3 -quick -naa` run alternately, median wall times
#     and their ratio;
#   - 60 s through bypass, median wall time in multiples of real time;
#   - peak resident memory (from /usr/bin/time) for a 1-second and a 60-minute input.
# Each timed run writes a new output file (see wall below).
#
# Usage: bench/qbs_ptc/qbs_render_bench.sh [BUILD_DIR] [RUNS]   (defaults: build, 11)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-11}
tool=$build/tools/qbs-render/qbs-render
[ -x "$tool" ] || { echo "no $tool: build the qbs-render target first" >&2; exit 1; }

work=$(mktemp -d /tmp/qbs-render-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Plucked chords, left and right different, as the demo track.
sox -q -n -r 44100 -b 16 -c 2 "$work/one.wav" \
  synth 1 pluck C3 pluck E4 pluck G4 pluck C5 remix 1,3 2,4 gain -n -3
sox -q -n -r 44100 -b 16 -c 2 "$work/in60.wav" \
  synth 60 pluck C3 pluck E4 pluck G4 pluck C5 remix 1,3 2,4 tremolo 3 40 gain -n -3
sox -q "$work/in60.wav" "$work/in3600.wav" repeat 59

# Wall time of one run in seconds, millisecond resolution. Every run writes a new file: the
# outputs of the previous run are removed first (untimed), because ext4 flushes a file that
# replaces an existing one (by rename or by truncation) when it is closed, which would time
# the disk rather than the program, for either tool.
wall() {
  rm -f "$work/out.wav" "$work/peer.wav"
  local TIMEFORMAT=%3R
  { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

have_peer=0
command -v soundstretch >/dev/null && have_peer=1
: >"$work/ours" ; : >"$work/peer" ; : >"$work/bypass"
for ((i = 0; i < runs; i++)); do
  wall "$tool" --effect ptc --speed 100 --pitch 3 "$work/in60.wav" "$work/out.wav" >>"$work/ours"
  if ((have_peer)); then
    wall soundstretch "$work/in60.wav" "$work/peer.wav" -pitch=3 -quick -naa >>"$work/peer"
  fi
  wall "$tool" --effect bypass "$work/in60.wav" "$work/out.wav" >>"$work/bypass"
done

ours=$(median <"$work/ours")
bypass=$(median <"$work/bypass")
echo "60 s stereo WAV, median of $runs runs (wall seconds):"
echo "  qbs-render --effect ptc --speed 100 --pitch 3   $ours"
if ((have_peer)); then
  peer=$(median <"$work/peer")
  echo "  soundstretch -pitch=3 -quick -naa             $peer"
  awk -v o="$ours" -v p="$peer" 'BEGIN {printf "  qbs-render is %.2fx as fast\n", p / o}'
else
  echo "  soundstretch not installed: peer skipped"
fi
awk -v b="$bypass" 'BEGIN {printf "  qbs-render --effect bypass                    %s  (%.0fx real time)\n", b, 60 / b}'

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
one=$(peak "$tool" --effect ptc --pitch 3 "$work/one.wav" "$work/out.wav")
long=$(peak "$tool" --effect ptc --pitch 3 "$work/in3600.wav" "$work/out.wav")
echo "Peak resident memory, --effect ptc --pitch 3:"
echo "  1 s input    $one KB"
echo "  60 min input $long KB  (+$((long - one)) KB)"

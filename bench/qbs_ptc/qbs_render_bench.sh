#!/usr/bin/env bash
# qbs-render as a whole process, against SoundTouch's soundstretch when it is installed
# (Debian package soundstretch; not a dependency of the project, the peer is skipped when
# it is missing):
#   - 60 s of stereo WAV at speed 100 pitch +3, qbs-render and
#     `soundstretch in.wav out.wav -pitch=3 -quick -naa` run alternately: median wall and
#     CPU (user + system) times and their ratios;
#   - 60 s through bypass: median wall and CPU times in multiples of real time;
#   - peak resident memory (from /usr/bin/time) for a 1-second and a 60-minute input.
#
# The timed files live in /dev/shm (memory) when it exists, and every timed run writes a new
# file (the previous output is removed first, untimed): on ext4 a file that replaces an
# existing one is flushed to disk when it is closed, which would time the disk, not the
# program, for either tool.
#
# Usage: bench/qbs_ptc/qbs_render_bench.sh [BUILD_DIR] [RUNS]   (defaults: build, 11)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-11}
tool=$build/tools/qbs-render/qbs-render
[ -x "$tool" ] || { echo "no $tool: build the qbs-render target first" >&2; exit 1; }

shm=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && shm=/dev/shm
fast=$(mktemp -d "$shm/qbs-render-bench.XXXXXX")
work=$(mktemp -d /tmp/qbs-render-bench.XXXXXX)
trap 'rm -rf "$fast" "$work"' EXIT

# Plucked chords, left and right different, as the demo track.
sox -q -n -r 44100 -b 16 -c 2 "$work/one.wav" \
  synth 1 pluck C3 pluck E4 pluck G4 pluck C5 remix 1,3 2,4 gain -n -3
sox -q -n -r 44100 -b 16 -c 2 "$fast/in60.wav" \
  synth 60 pluck C3 pluck E4 pluck G4 pluck C5 remix 1,3 2,4 tremolo 3 40 gain -n -3
sox -q "$fast/in60.wav" "$work/in3600.wav" repeat 59

# "wall cpu" of one run in seconds, millisecond resolution.
timed() {
  rm -f "$fast/out.wav"
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%s %.3f\n", $1, $2 + $3}'
}
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
column() { awk -v c="$1" '{print $c}' "$2" | median; }

have_peer=0
command -v soundstretch >/dev/null && have_peer=1
: >"$work/ours"; : >"$work/peer"; : >"$work/bypass"
for ((i = 0; i < runs; i++)); do
  timed "$tool" --effect ptc --speed 100 --pitch 3 "$fast/in60.wav" "$fast/out.wav" >>"$work/ours"
  if ((have_peer)); then
    timed soundstretch "$fast/in60.wav" "$fast/out.wav" -pitch=3 -quick -naa >>"$work/peer"
  fi
  timed "$tool" --effect bypass "$fast/in60.wav" "$fast/out.wav" >>"$work/bypass"
done

echo "60 s stereo WAV in $shm, medians of $runs alternating runs, seconds (wall / CPU):"
echo "  qbs-render --effect ptc --speed 100 --pitch 3   $(column 1 "$work/ours") / $(column 2 "$work/ours")"
if ((have_peer)); then
  echo "  soundstretch -pitch=3 -quick -naa             $(column 1 "$work/peer") / $(column 2 "$work/peer")"
  awk -v ow="$(column 1 "$work/ours")" -v oc="$(column 2 "$work/ours")" \
      -v pw="$(column 1 "$work/peer")" -v pc="$(column 2 "$work/peer")" \
      'BEGIN {printf "  qbs-render is %.2fx as fast (wall), %.2fx (CPU)\n", pw / ow, pc / oc}'
else
  echo "  soundstretch not installed: peer skipped"
fi
awk -v w="$(column 1 "$work/bypass")" -v c="$(column 2 "$work/bypass")" \
    'BEGIN {printf "  qbs-render --effect bypass                    %.3f / %.3f  (%.0fx / %.0fx real time)\n", w, c, 60 / w, 60 / c}'

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
one=$(peak "$tool" --effect ptc --pitch 3 "$work/one.wav" "$work/out.wav")
long=$(peak "$tool" --effect ptc --pitch 3 "$work/in3600.wav" "$work/out.wav")
echo "Peak resident memory, --effect ptc --pitch 3:"
echo "  1 s input    $one KB"
echo "  60 min input $long KB  (+$((long - one)) KB)"

#!/usr/bin/env bash
# Installs what is missing, builds Tavoro and runs its main job. Until the player's window
# exists, that job renders a generated demo track through every sound effect with
# qbs-render and says where the results are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${TAVORO_JOBS:-2}" --target qbs-render

out="$root/out/demo"
mkdir -p "$out"
demo="$out/demo.wav"
# Eight seconds of plucked chords over a bass line, with a hard left/right split in the
# middle so the stereo effects have something to widen.
sox -q -n -r 44100 -b 16 -c 2 "$demo" \
  synth 8 pluck C3 pluck E4 pluck G4 pluck C5 remix 1,3 2,4 \
  tremolo 3 40 reverse pad 0 0 gain -n -3

render() {
  local name=$1; shift
  ./build/tools/qbs-render/qbs-render "$@" "$demo" "$out/$name.wav" >/dev/null
  echo "  $out/$name.wav"
}
echo "qbs-render: effects applied to $demo:"
render bypass --effect bypass
render eq-rock --effect eq --preset 1
render eq-full-bass --effect eq --preset 7
render 3d-stereo --effect m3d --surround 10 --bass 5
render stage-concert-hall --effect stage --stage-preset 1
render stage-stadium --effect stage --stage-preset 2
render speed-100-pitch-plus3 --effect ptc --speed 100 --pitch 3
render speed-150-pitch-0 --effect ptc --speed 150 --pitch 0
echo "Play them with any audio player, e.g.: play $out/eq-rock.wav"

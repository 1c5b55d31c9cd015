#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: first the normal
# build, then the effects library, platform, engine and music library tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the effects library, audio graph,
# audio-file reader, engine and player tests under ThreadSanitizer, and last the fuzz
# targets over their corpora. The 30 s playback against a real audio server runs in the
# normal build only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

jobs=${TAVORO_JOBS:-2}
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/tavoro-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# Tests that play in real time against an audio server: they run on their own after the
# others, so that no other test competes for the cores while they count underflows, and
# the sanitizers slow the machine too much for the one that counts them.
real_time='EngineOnAudioServer\.|PulseOutput\.|PulseRoute\.'
real_time_only='EngineOnAudioServer\.'

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600 -E "$real_time"
ctest --test-dir build --output-on-failure -j1 --timeout 600 -R "$real_time"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVORO_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900 -E "$real_time_only"

# Qt and libpulse are not built with ThreadSanitizer: their own internal hand-overs (Qt's
# image worker pool, its event queue) are invisible to it, so races are reported only for
# accesses made from our own, instrumented code (ignore_noninstrumented_modules).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORO_TSAN=ON
cmake --build build-tsan -j"$jobs" --target qbs_tests audio_tests audiofile_tests engine_tests player_tests
TSAN_OPTIONS="suppressions=$root/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" --timeout 900 -E "$real_time_only"

# The fuzz targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer) replay
# their generated seed corpora and the inputs of past findings: seconds, not minutes.
# scripts/fuzz.sh runs them for longer.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORO_FUZZ=ON
cmake --build build-fuzz -j"$jobs" --target fuzz_targets
ctest --test-dir build-fuzz --output-on-failure -j"$jobs" --timeout 300

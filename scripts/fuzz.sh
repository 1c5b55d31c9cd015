#!/usr/bin/env bash
# Builds the fuzz targets (clang, in build-fuzz) and runs each one in turn for SECONDS
# (default 60) or, when FUZZ_RUNS is set, until that many executions if sooner
# (FUZZ_RSS_MB: the memory limit, 2560 MB unless set). Each works
# on its own corpus in build-fuzz/corpus/NAME, started from the generated seeds and kept
# between runs; inputs that break a target land in build-fuzz/findings/NAME (copy them
# into fuzz/regressions/NAME once mended: the test command replays them).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
all=(fuzz_file_url fuzz_letter_index fuzz_instance_message fuzz_playlist fuzz_wav_reader fuzz_scan_cache
     fuzz_cover_thumbnail fuzz_probe_tags fuzz_playback)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVORO_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"${TAVORO_JOBS:-2}" --target fuzz_targets
export QT_QPA_PLATFORM=offscreen

status=0
printf '%-22s %12s %8s %8s %9s\n' target executions seconds edges findings
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  [ -n "$(ls -A "$corpus")" ] || cp build-fuzz/fuzz/seeds/"$target"/* "$corpus"/
  log=build-fuzz/findings/$target.log
  start=$(date +%s)
  if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -runs="${FUZZ_RUNS:--1}" -timeout=30 \
        -rss_limit_mb="${FUZZ_RSS_MB:-2560}" -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    status=1
  fi
  elapsed=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  found=$(find "$findings" -type f | wc -l)
  printf '%-22s %12s %8s %8s %9s\n' "$target" "${runs:-?}" "$elapsed" "${edges:-?}" "$found"
done
exit $status

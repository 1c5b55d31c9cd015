#!/usr/bin/env bash
# Mutation check: plants the small faults kept in tests/mutants/ one at a time, rebuilds
# only the test binary each names, runs that binary's tests under a time limit, puts the
# source back and reports whether a test noticed (killed) or not (survived).
#
#   bash scripts/mutate.sh [MUTANT...]      (default: every tests/mutants/*.patch)
#
# A mutant is a unified diff against the tree, preceded by header lines:
#   # binary: tests/qbs/qbs_tests      the test binary to build (its target is the last part)
#   # filter: QbsMeq.*:PtcModel*       optional gtest filter (default: every test)
#   # fault: what the patch breaks     one line, for the report
# Environment: MUTATE_BUILD (build tree, default build-mutate), MUTATE_TIMEOUT (seconds a
# binary may run, default 300), MUTATE_JOBS (default 2). Not part of scripts/test.sh: it
# takes long. It refuses to start on a tree with uncommitted changes to tracked files, as
# it restores the tree with `git checkout`.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${MUTATE_BUILD:-build-mutate}
limit=${MUTATE_TIMEOUT:-300}
jobs=${MUTATE_JOBS:-2}
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/tavoro-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Tests that need a real audio server or count underflows in real time stay out.
realtime='-EngineOnAudioServer.*:PulseOutput.*:PulseRoute.*'

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "mutate.sh: the tree has uncommitted changes; commit or stash them first" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  mutants=()
  for m in "$@"; do
    case "$m" in */*) mutants+=("$m") ;; *) mutants+=("tests/mutants/${m%.patch}.patch") ;; esac
  done
else
  mutants=(tests/mutants/*.patch)
fi

current=""
restore() {
  if [ -n "$current" ]; then
    git checkout -q -- $(git apply --numstat "$current" | cut -f3)
    current=""
  fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

header() { sed -n "s/^# $1: //p" "$2" | head -n 1; }

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null || exit 2

# Runs `binary` with `filter`; prints the first failing test, or "timeout", or nothing.
run_tests() {
  local binary=$1 filter=$2 log=$3
  timeout "$limit" "$build/$binary" --gtest_filter="$filter$realtime" --gtest_fail_fast \
    --gtest_brief=1 >"$log" 2>&1
  local rc=$?
  if [ $rc -eq 124 ]; then echo "timeout"; return; fi
  local failed
  failed=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\).*/\1/p' "$log" | head -n 1)
  if [ -n "$failed" ]; then echo "$failed"; elif [ $rc -ne 0 ]; then echo "crash (status $rc)"; fi
}

logdir="$build/mutants"
mkdir -p "$logdir"
killed=0 survived=0 broken=0
declare -A baseline_done
survivors=()
for m in "${mutants[@]}"; do
  name=$(basename "$m" .patch)
  binary=$(header binary "$m")
  filter=$(header filter "$m")
  filter=${filter:-*}
  target=$(basename "$binary")
  # The unmutated binary must pass first, or a failure would prove nothing.
  key="$binary|$filter"
  if [ -z "${baseline_done[$key]:-}" ]; then
    if ! nice -n 5 cmake --build "$build" -j"$jobs" --target "$target" >"$logdir/baseline-$target.log" 2>&1; then
      echo "baseline build of $target failed: see $logdir/baseline-$target.log" >&2
      exit 2
    fi
    bad=$(run_tests "$binary" "$filter" "$logdir/baseline-$target.run.log")
    # A test that counts on timing may fail once on a busy machine: one more try.
    [ -n "$bad" ] && bad=$(run_tests "$binary" "$filter" "$logdir/baseline-$target.run.log")
    if [ -n "$bad" ]; then
      echo "baseline of $target fails ($bad) without any mutant: see $logdir/baseline-$target.run.log" >&2
      exit 2
    fi
    baseline_done[$key]=1
  fi

  if ! git apply --check "$m" 2>/dev/null; then
    printf '%-40s does not apply\n' "$name"
    broken=$((broken + 1))
    continue
  fi
  current=$m
  git apply "$m"
  if ! nice -n 5 cmake --build "$build" -j"$jobs" --target "$target" >"$logdir/$name.build.log" 2>&1; then
    printf '%-40s does not build (see %s)\n' "$name" "$logdir/$name.build.log"
    broken=$((broken + 1))
    restore
    continue
  fi
  by=$(run_tests "$binary" "$filter" "$logdir/$name.log")
  restore
  if [ -n "$by" ]; then
    killed=$((killed + 1))
    printf '%-40s killed    by %s\n' "$name" "$by"
  else
    survived=$((survived + 1))
    survivors+=("$name: $(header fault "$m")")
    printf '%-40s SURVIVED  (%s)\n' "$name" "$(header fault "$m")"
  fi
done

total=$((killed + survived))
echo
if [ $total -gt 0 ]; then
  echo "score: $killed killed of $total mutants ($((100 * killed / total)) %), $broken not applicable"
fi
for s in "${survivors[@]}"; do echo "  survived: $s"; done
[ $broken -eq 0 ]

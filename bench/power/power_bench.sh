#!/usr/bin/env bash
# Wake-ups and CPU of the whole player process, and its resident memory, against a private
# PulseAudio daemon (null sink, norewinds=1) and a private session bus, with ffplay playing
# the same file in the same run as the peer.
#
#   bench/power/power_bench.sh BUILD MUSIC_DIR [SECONDS] [RUNS]
#
# BUILD is the build directory (BUILD/app/tavoro is run), MUSIC_DIR the library the player
# scans (a first start scans it and is not measured). The played file is a 60 s Ogg Vorbis
# song made here with ffmpeg (a chord with a little noise, 44.1 kHz stereo), opened through
# the desktop media controls (playerctl). For effects off and then all on (equalizer, 3D
# stereo, stage and speed/pitch at speed 120, written into the store between starts), each
# of RUNS starts (default 1) measures SECONDS (default 10) with no song loaded, then playing,
# then paused. Wake-ups are the context switches of all the process's threads per second
# (voluntary and involuntary, from /proc/PID/task/*/status); CPU is user + system time of
# the whole process over wall time (the scheduler's run time of every thread, from
# /proc/PID/task/*/schedstat); resident memory is VmRSS while playing. Medians over the
# runs are printed. Needs: pulseaudio pulseaudio-utils dbus-daemon playerctl ffmpeg ffplay
# sqlite3. With POWER_BENCH_THREADS=1 it also prints each thread's context switches while
# paused. The player runs offscreen (QT_QPA_PLATFORM=offscreen) with its window shown.
set -u
build=$(realpath "${1:?usage: power_bench.sh BUILD MUSIC_DIR [SECONDS] [RUNS]}")
music=$(realpath "${2:?usage: power_bench.sh BUILD MUSIC_DIR [SECONDS] [RUNS]}")
secs=${3:-10}
runs=${4:-1}
app=$build/app/tavoro
tmp=$(mktemp -d /tmp/power-bench.XXXXXX)
pids=()
stop_all() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    sleep 0.5
    rm -rf "$tmp"
}
trap stop_all EXIT INT TERM

mkdir -p "$tmp/home" "$tmp/run"
chmod 700 "$tmp/run"
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run XDG_MUSIC_DIR=$music QT_QPA_PLATFORM=offscreen
unset XDG_CONFIG_HOME XDG_DATA_HOME WAYLAND_DISPLAY DISPLAY PULSE_SERVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    -L "module-null-sink sink_name=out rate=44100 norewinds=1" -L module-native-protocol-unix >"$tmp/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 40); do pactl info >/dev/null 2>&1 && break; sleep 0.25; done
pactl set-default-sink out
read -r bus buspid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | tr '\n' ' ')
pids+=("$buspid")
export DBUS_SESSION_BUS_ADDRESS=$bus

song=$tmp/song.ogg
ffmpeg -loglevel error -f lavfi -i "sine=frequency=220:duration=60:sample_rate=44100" \
    -f lavfi -i "sine=frequency=277:duration=60:sample_rate=44100" \
    -f lavfi -i "anoisesrc=duration=60:sample_rate=44100:amplitude=0.02" \
    -filter_complex "[0][1][2]amix=inputs=3,pan=stereo|c0=c0|c1=c0" -c:a libvorbis -q:a 5 "$song"

# "switches nanoseconds" of a process: context switches and CPU time (from the scheduler's
# statistics, exact to the nanosecond) summed over all its threads.
counters() {
    local pid=$1 switches=0 ns=0 n
    for task in /proc/"$pid"/task/*; do
        n=$(awk '/ctxt_switches/ {s += $2} END {print s + 0}' "$task/status" 2>/dev/null)
        switches=$((switches + ${n:-0}))
        n=$(awk '{print $1}' "$task/schedstat" 2>/dev/null)
        ns=$((ns + ${n:-0}))
    done
    echo "$switches $ns"
}

# Prints "wake-ups/s CPU%" over `secs` seconds.
measure() {
    local pid=$1 a b
    read -r -a a < <(counters "$pid")
    local t0; t0=$(date +%s.%N)
    sleep "$secs"
    read -r -a b < <(counters "$pid")
    local t1; t1=$(date +%s.%N)
    awk -v s=$((b[0] - a[0])) -v c=$((b[1] - a[1])) -v t0="$t0" -v t1="$t1" \
        'BEGIN {printf "%.1f %.2f\n", s / (t1 - t0), 100 * c / 1e9 / (t1 - t0)}'
}

# Per-thread context switches over `secs` seconds (name: count), for finding who wakes.
per_thread() {
    local pid=$1 task
    declare -A before
    for task in /proc/"$pid"/task/*; do before[$task]=$(awk '/ctxt_switches/ {s += $2} END {print s + 0}' "$task/status"); done
    sleep "$secs"
    for task in /proc/"$pid"/task/*; do
        echo "  $(cat "$task/comm"): $(($(awk '/ctxt_switches/ {s += $2} END {print s + 0}' "$task/status") - ${before[$task]:-0}))"
    done
}

rss_mb() { awk '/VmRSS/ {printf "%.1f\n", $2 / 1024}' /proc/"$1"/status; }

# Waits until the process has used under 5 % of a core for two seconds in a row (its scan
# and start-up are over), at most 10 minutes.
wait_idle() {
    local pid=$1 calm=0 a b
    for _ in $(seq 1 600); do
        a=$(awk '{print $14 + $15}' /proc/"$pid"/stat)
        sleep 1
        b=$(awk '{print $14 + $15}' /proc/"$pid"/stat)
        if [ $((b - a)) -lt $(($(getconf CLK_TCK) / 20)) ]; then calm=$((calm + 1)); else calm=0; fi
        [ $calm -ge 2 ] && return 0
    done
}

start_app() {
    "$app" >"$tmp/app.log" 2>&1 &
    apppid=$!
    for _ in $(seq 1 120); do playerctl -l 2>/dev/null | grep -q '^tavoro' && break; sleep 0.5; done
    wait_idle "$apppid"
}

quit_app() {
    kill -TERM "$apppid"
    wait "$apppid" 2>/dev/null
}

declare -A results
record() { results[$1]="${results[$1]:-} $2"; }

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR] = $1} END {print (NR ? v[int((NR + 1) / 2)] : "-")}'; }

echo "library: $music ($(find "$music" -type f \( -name '*.mp3' -o -name '*.m4a' -o -name '*.flac' -o -name '*.ogg' -o -name '*.wav' \) | wc -l) songs)"
start_app # the first start scans the library and builds the store
quit_app
store=$HOME/.local/share/Tavoro/DTMusicModel.sqlite

for effects in off on; do
    if [ "$effects" = on ]; then
        sqlite3 "$store" "UPDATE Setting SET EqEnable = 2, StereoEnable = 2, StageEnable = 2, SpeedEnable = 2, SpeedValue = 120, DockingEnable = 1;" || exit 1
        echo "stored effects (eq, 3D, stage, speed/pitch, speed): $(sqlite3 "$store" "SELECT EqEnable, StereoEnable, StageEnable, SpeedEnable, SpeedValue FROM Setting;")"
    fi
    for _ in $(seq 1 "$runs"); do
        start_app
        read -r w c < <(measure "$apppid"); record "$effects no song wake" "$w"; record "$effects no song cpu" "$c"
        playerctl -p tavoro open "file://$song"
        sleep 2
        [ "$(playerctl -p tavoro status)" = Playing ] || echo "the player is not playing"
        read -r w c < <(measure "$apppid"); record "$effects playing wake" "$w"; record "$effects playing cpu" "$c"
        record "$effects playing rss" "$(rss_mb "$apppid")"
        playerctl -p tavoro pause
        sleep 1
        [ "$(playerctl -p tavoro status)" = Paused ] || echo "the player is not paused"
        read -r w c < <(measure "$apppid"); record "$effects paused wake" "$w"; record "$effects paused cpu" "$c"
        [ -n "${POWER_BENCH_THREADS:-}" ] && { echo "paused, per thread:"; per_thread "$apppid"; }
        quit_app
        # The peer in the same run: ffplay playing the same file into the same server.
        ffplay -nodisp -loglevel quiet -loop 0 "$song" &
        peer=$!
        sleep 2
        read -r w c < <(measure "$peer"); record "peer wake" "$w"; record "peer cpu" "$c"
        kill "$peer"; wait "$peer" 2>/dev/null
    done
done

printf '%-28s %12s %8s %10s\n' "state" "wake-ups/s" "CPU %" "RSS MB"
for effects in off on; do
    for state in "no song" playing paused; do
        rss=-
        [ "$state" = playing ] && rss=$(echo "${results[$effects playing rss]}" | median)
        printf '%-28s %12s %8s %10s\n' "effects $effects, $state" "$(echo "${results[$effects $state wake]}" | median)" \
            "$(echo "${results[$effects $state cpu]}" | median)" "$rss"
    done
done
printf '%-28s %12s %8s\n' "ffplay, playing" "$(echo "${results[peer wake]}" | median)" "$(echo "${results[peer cpu]}" | median)"

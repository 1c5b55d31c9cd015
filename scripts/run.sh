#!/usr/bin/env bash
# Installs what is missing, builds Tavoro and starts it on the user's music directory (the
# XDG music directory, ~/Music unless configured otherwise). When that holds no music, a
# small demo library is generated once in the application's data directory
# (~/.local/share/Tavoro/demo-library) and the player starts on that instead; nothing is
# ever written into the user's own folders. Without a display, set QT_QPA_PLATFORM=offscreen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${TAVORO_JOBS:-2}" --target tavoro tavoro-demo-library

music=${XDG_MUSIC_DIR:-}
if [ -z "$music" ] && command -v xdg-user-dir >/dev/null 2>&1; then
  music=$(xdg-user-dir MUSIC)
fi
if [ -z "$music" ] && [ -f "${XDG_CONFIG_HOME:-$HOME/.config}/user-dirs.dirs" ]; then
  music=$(. "${XDG_CONFIG_HOME:-$HOME/.config}/user-dirs.dirs" && echo "${XDG_MUSIC_DIR:-}")
fi
if [ -z "$music" ] || [ "$music" = "$HOME" ]; then
  music=$HOME/Music
fi

if [ -d "$music" ] && ./build/app/tavoro-demo-library --check "$music"; then
  echo "run: playing the music in $music"
else
  demo="${XDG_DATA_HOME:-$HOME/.local/share}/Tavoro/demo-library"
  echo "run: no music in $music; using the demo library in $demo"
  ./build/app/tavoro-demo-library "$demo"
  music=$demo
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found; set QT_QPA_PLATFORM=offscreen to run without one" >&2
fi
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ ! -d "$XDG_RUNTIME_DIR" ]; then
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi
XDG_MUSIC_DIR=$music exec ./build/app/tavoro "$@"

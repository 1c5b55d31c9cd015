#!/usr/bin/env bash
# The desktop entry and the AppStream metadata, installed by `cmake --install` into a
# scratch prefix, pass the freedesktop.org validators, and the entry takes files.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component desktop >/dev/null
desktop-file-validate "$prefix/share/applications/tavoro.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.tavoro.Tavoro.metainfo.xml"
grep -qx 'Exec=tavoro %U' "$prefix/share/applications/tavoro.desktop"

#!/usr/bin/env bash
# Generates the fuzz targets' seed corpora into OUT: short tones in every format the player
# reads (as the tests make their fixtures, with ffmpeg), WAV files with odd chunks,
# covers, playlists, URLs, names and a scan cache. Nothing large is kept in the repository.
# Usage: make-seeds.sh OUT MAKE_SCAN_CACHE_SEED
set -euo pipefail
out=$1
scan_cache_tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"/{fuzz_probe_tags,fuzz_playback,fuzz_scan_cache,fuzz_wav_reader,fuzz_playlist,fuzz_file_url,fuzz_letter_index,fuzz_cover_thumbnail,fuzz_instance_message}

encode() {  # NAME ENCODER-ARGUMENTS...: a 0.2 s tone with tags and, where the format holds one, a cover
  local name=$1; shift
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.2" \
    -metadata title="Seed" -metadata artist="Artist" -metadata album="Album" -metadata track=3/9 \
    "$@" "$work/$name"
}
encode tone.mp3 -ac 1 -c:a libmp3lame -b:a 32k
encode tone.m4a -ac 1 -c:a aac -b:a 32k
encode alac.m4a -ac 1 -c:a alac
encode tone.flac -ac 2 -c:a flac
encode tone.ogg -ac 1 -c:a libvorbis -q:a 0
encode tone.opus -ac 1 -ar 48000 -c:a libopus -b:a 16k
encode tone.wav -ac 2 -c:a pcm_s16le
encode tone.aiff -ac 1 -c:a pcm_s16be
encode tone.aac -ac 1 -c:a aac -b:a 32k -f adts
encode tone.wv -ac 1 -c:a wavpack
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=orange:s=200x120:d=1" -frames:v 1 "$work/cover.jpg"
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=teal:s=64x64:d=1" -frames:v 1 "$work/cover.png"
ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.2" -i "$work/cover.jpg" \
  -map 0 -map 1 -c:a libmp3lame -c:v copy -disposition:v attached_pic -metadata title=Covered "$work/covered.mp3"

# A streaming playlist and a manifest under audio names: no demuxer may follow them.
printf '#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nhttp://127.0.0.1:9/segment.ts\n#EXT-X-ENDLIST\n' > "$work/playlist.mp3"
printf '<?xml version="1.0"?><MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="static"><Period><AdaptationSet><Representation id="1" bandwidth="1"><BaseURL>http://127.0.0.1:9/audio.m4a</BaseURL></Representation></AdaptationSet></Period></MPD>\n' > "$work/manifest.m4a"
printf 'ffconcat version 1.0\nfile /etc/passwd\n' > "$work/list.ogg"

# The extension the probe target gives a file is chosen by the first byte (see its list).
prefixed() {  # TARGET INDEX PREFIX-BYTES FILE
  { printf "$(printf '\\%03o' "$2")"; printf "$3"; cat "$4"; } > "$out/$1/$(basename "$4")"
}
index=0
for pair in "tone.mp3 1" "covered.mp3 1" "tone.m4a 2" "alac.m4a 2" "tone.flac 3" "tone.ogg 4" "tone.opus 5" \
            "tone.wav 6" "tone.aiff 8" "tone.aac 9" "tone.wv 10" "playlist.mp3 1" "manifest.m4a 2" "list.ogg 4" "tone.wav 0"; do
  set -- $pair
  prefixed fuzz_probe_tags "$2" '' "$work/$1"
  index=$((index + 1))
done
# The playback target: a name byte, two seek targets (frames 700 and 0), then the file.
for pair in "tone.mp3 1" "tone.m4a 2" "alac.m4a 2" "tone.flac 3" "tone.ogg 4" "tone.wav 5" "tone.aiff 6" "tone.aac 7" "tone.wv 8"; do
  set -- $pair
  prefixed fuzz_playback "$2" '\274\002\000\000\000\000\000\000' "$work/$1"
done

# WAV files for the offline tool: plain, extensible with odd chunks, and a data size of 0
# followed by a LIST chunk.
cp "$work/tone.wav" "$out/fuzz_wav_reader/plain.wav"
riff() {  # BODY-FILE OUT: a RIFF/WAVE file around the chunks in BODY-FILE
  local size; size=$(( $(stat -c %s "$1") + 4 ))
  { printf 'RIFF'; printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((size & 255)) $((size >> 8 & 255)) $((size >> 16 & 255)) $((size >> 24 & 255)))"; printf 'WAVE'; cat "$1"; } > "$2"
}
printf 'fmt \020\000\000\000\001\000\001\000\100\037\000\000\200\076\000\000\002\000\020\000' > "$work/fmt"
{ cat "$work/fmt"; printf 'data\000\000\000\000LIST\010\000\000\000INFOabcd'; } > "$work/zero-data"
riff "$work/zero-data" "$out/fuzz_wav_reader/zero-data.wav"
{ printf 'junk\003\000\000\000abc\000'; cat "$work/fmt"; printf 'data\377\377\377\377\001\000\002\000\003\000'; } > "$work/odd"
riff "$work/odd" "$out/fuzz_wav_reader/odd-chunks.wav"

"$scan_cache_tool" "$out/fuzz_scan_cache/cache"

cp "$work/cover.jpg" "$work/cover.png" "$out/fuzz_cover_thumbnail/"

printf '\000#EXTM3U\r\n#EXTINF:12,Song\r\n  song.mp3  \r\n../up/two.flac\r\n/abs/three.ogg\r\nfile:///url/four%%20x.wav\r\nhttps://remote/five.mp3\r\n' > "$out/fuzz_playlist/mixed.m3u"
printf '\001\357\273\277/m/\303\204ther.mp3\nfile://localhost/a/../b.mp3\n' > "$out/fuzz_playlist/utf8.m3u8"
printf '\000/m/\304ther.mp3\n' > "$out/fuzz_playlist/latin1.m3u"

printf 'file:///home/me/Music/a%%20b.m4a' > "$out/fuzz_file_url/url"
printf 'file://localhost/caf%%E9.mp3?x#y' > "$out/fuzz_file_url/localhost"
printf '/plain/path:with colon.mp3' > "$out/fuzz_file_url/path"

utf16() { iconv -f UTF-8 -t UTF-16LE; }
{ printf '\000'; printf 'The Beatles\000Abba\000\303\204rger\000' | utf16; printf '12 Songs' | utf16; } > "$out/fuzz_letter_index/titles"
{ printf '\001'; printf 'The The\000\316\261\316\262\000a' | utf16; } > "$out/fuzz_letter_index/artists"

# Messages of a later start: two paths (one not UTF-8), none, and one cut short.
printf 'tavoro-open 1\n2\n/home/me/Music/a b.flac\000/x/caf\351.mp3\000' > "$out/fuzz_instance_message/two"
printf 'tavoro-open 1\n0\n' > "$out/fuzz_instance_message/none"
printf 'tavoro-open 1\n1\n/music/cut' > "$out/fuzz_instance_message/cut"

touch "$out/.complete"

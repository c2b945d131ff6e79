#!/usr/bin/env bash
# Times `vyr list` on albums at the header's limit of 32,767 lines before "EXTBIN":
#   names   32,767 file-name lines, so 32,767 tracks (no tags at all)
#   tagged  a byte-count, a track-info and a file-name line per track, and one last name: 10,923 tracks
# Each album is padded with zero bytes (a sparse file) to twice its header, so it is valid.
# Prints the median wall time of several runs in milliseconds and the peak memory.
#   bench/load.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-build/release/cli/vyr}
runs=${LOAD_RUNS:-7}
[ -x "$vyr" ] || { echo "load: $vyr is missing (build the release preset first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "load: /usr/bin/time is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_album() {
  local file=$1 style=$2
  awk -v style="$style" 'BEGIN {
    ORS = "\r\n"
    if (style == "names") {
      for (i = 1; i <= 32767; i++) printf "Track %05d.mp3\r\n", i
    } else {
      for (i = 1; i * 3 <= 32767; i++) {
        printf "#EXTBYT:%d\r\n", 3000000 + i
        printf "#EXTINF:%d.5,Track number %d\r\n", 180 + i % 120, i
        printf "%05d Track number %d.mp3\r\n", i, i
      }
      # One line left under the limit: a last file name taking the pending values.
      printf "%05d Last.mp3\r\n", i
    }
    printf "#EXTBIN\r\n"
  }' >"$file"
  local header
  header=$(stat -c %s "$file")
  truncate -s $((2 * header)) "$file"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for style in names tagged; do
  album="$work/$style.vyr"
  make_album "$album" "$style"
  "$vyr" list "$album" >"$work/out.txt" || { echo "load: vyr list failed on the $style album" >&2; exit 1; }
  tracks=$(( $(wc -l <"$work/out.txt") - 2 ))  # title and artist lines come first
  times=()
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$vyr" list "$album" >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  ms=$(printf '%s\n' "${times[@]}" | median | awk '{ printf "%.1f", $1 / 1000 }')
  peak=$(/usr/bin/time -v "$vyr" list "$album" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }')
  printf 'load: vyr list, %s album (%d header lines, %s listed rows, %s bytes): median %s ms of %d runs, peak memory %s MiB\n' \
    "$style" 32767 "$tracks" "$(stat -c %s "$album")" "$ms" "$runs" "$peak"
done

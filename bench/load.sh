#!/usr/bin/env bash
# Times `vyr list` on albums at the header's limit of 32,767 lines before "EXTBIN":
#   names   an album title, an artist and 32,764 file-name lines, so 32,764 tracks; also timed
#           with --json (target: under 50 ms)
#   tagged  a byte-count, a track-info and a file-name line per track, and one last name: 10,923 tracks
# Each album is padded with zero bytes (a sparse file) to twice its header, so it is valid.
# Prints the median wall and CPU time (user + system) of several runs in milliseconds and the
# peak memory (maximum resident set size, from /usr/bin/time).
#   bench/load.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
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
      printf "#EXTM3U\r\n#EXTALB:Benchmark Album\r\n#EXTART:The Benchmark Ensemble\r\n"
      for (i = 1; i <= 32764; i++) printf "Track %05d.mp3\r\n", i
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

# time_list ALBUM LABEL TARGET-MS ARGUMENTS...: prints the medians of $runs runs of vyr list.
time_list() {
  local album=$1 label=$2 target=$3
  shift 3
  local walls=() cpus=() peaks=() start end user system peak
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -o "$work/time.txt" -f '%U %S %M' "$vyr" list "$@" "$album" >/dev/null
    end=$(date +%s%N)
    walls+=($(( (end - start) / 1000 )))
    read -r user system peak <"$work/time.txt"
    cpus+=("$(awk -v u="$user" -v s="$system" 'BEGIN { print (u + s) * 1000000 }')")
    peaks+=("$peak")
  done
  local wall cpu
  wall=$(printf '%s\n' "${walls[@]}" | median | awk '{ printf "%.1f", $1 / 1000 }')
  cpu=$(printf '%s\n' "${cpus[@]}" | median | awk '{ printf "%.0f", $1 / 1000 }')
  peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
  local verdict=""
  [ -n "$target" ] && verdict=$(awk -v w="$wall" -v t="$target" 'BEGIN { printf "  (target under %d ms: %s)", t, (w < t ? "met" : "NOT met") }')
  printf 'load: %s: median %s ms wall, %s ms CPU (%d runs), peak memory %s MiB%s\n' \
    "$label" "$wall" "$cpu" "$runs" "$peak" "$verdict"
}

for style in names tagged; do
  album="$work/$style.vyr"
  make_album "$album" "$style"
  "$vyr" list --json "$album" >"$work/out.json" || { echo "load: vyr list failed on the $style album" >&2; exit 1; }
  tracks=$(grep -o '"row":' "$work/out.json" | wc -l)
  about="$style album (32,767 header lines, $tracks rows, $(stat -c %s "$album") bytes)"
  time_list "$album" "vyr list, $about" ""
  if [ "$style" = names ]; then time_list "$album" "vyr list --json, $about" 50 --json; fi
done

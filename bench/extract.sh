#!/usr/bin/env bash
# Times `vyr extract` on a 1 GiB album of four 256 MiB tracks against `cp` of the whole album
# and `dd iflag=skip_bytes,count_bytes` of the same four ranges, all on the file system of the
# temporary folder. Prints the median wall time of several runs (a fresh output folder each),
# the throughput, the ratios to cp and dd, and the peak memory (maximum resident set size).
#   bench/extract.sh [VYR]     default: build/release/cli/vyr
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${EXTRACT_RUNS:-7}
[ -x "$vyr" ] || { echo "extract: $vyr is missing (build the release preset first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "extract: /usr/bin/time is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tracks=4
track_bytes=$((256 * 1024 * 1024))
album="$work/album.vyr"
{
  printf '#EXTM3U\r\n#EXTALB:Benchmark\r\n'
  for i in $(seq "$tracks"); do printf '#EXTBYT:%d\r\nTrack %d.mp3\r\n' "$track_bytes" "$i"; done
  printf '#EXTBIN\r\n'
} >"$album"
header=$(stat -c %s "$album")
head -c $((tracks * track_bytes)) /dev/urandom >>"$album"
total=$((tracks * track_bytes))

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One timed run of "$@" into a fresh, empty $work/out: appends the wall time in nanoseconds
# and the peak memory in KiB to the arrays named by $1 and $2.
timed() {
  local -n walls_=$1 peaks_=$2
  shift 2
  rm -rf "$work/out" && mkdir "$work/out" && sync
  local start end
  start=$(date +%s%N)
  /usr/bin/time -o "$work/time.txt" -f '%M' "$@" >/dev/null
  end=$(date +%s%N)
  walls_+=($((end - start)))
  peaks_+=("$(tail -1 "$work/time.txt")")
}

dd_ranges() {
  local skip=$header
  for i in $(seq "$tracks"); do
    dd if="$album" of="$work/out/Track $i.mp3" iflag=skip_bytes,count_bytes skip="$skip" count="$track_bytes" \
      bs=4M status=none
    skip=$((skip + track_bytes))
  done
}
export -f dd_ranges
export album header tracks track_bytes work

# The tracks must come out byte for byte before their speed counts.
mkdir "$work/out0" && "$vyr" extract -o "$work/out0" "$album" >/dev/null
cmp -s <(tail -c +$((header + 1)) "$album" | head -c "$track_bytes") "$work/out0/Track 1.mp3" ||
  { echo "extract: Track 1 differs from its range" >&2; exit 1; }
cmp -s <(tail -c "$track_bytes" "$album") "$work/out0/Track $tracks.mp3" ||
  { echo "extract: the last track differs from its range" >&2; exit 1; }
rm -rf "$work/out0"

# The three take turns, so a busy moment of the machine falls on all of them alike.
vyr_walls=() vyr_peaks=() cp_walls=() cp_peaks=() dd_walls=() dd_peaks=()
for _ in $(seq "$runs"); do
  timed vyr_walls vyr_peaks "$vyr" extract -o "$work/out" "$album"
  timed cp_walls cp_peaks cp "$album" "$work/out/copy"
  timed dd_walls dd_peaks bash -c dd_ranges
done
vyr_wall=$(printf '%s\n' "${vyr_walls[@]}" | median) vyr_peak=$(printf '%s\n' "${vyr_peaks[@]}" | sort -n | tail -1)
cp_wall=$(printf '%s\n' "${cp_walls[@]}" | median) cp_peak=$(printf '%s\n' "${cp_peaks[@]}" | sort -n | tail -1)
dd_wall=$(printf '%s\n' "${dd_walls[@]}" | median) dd_peak=$(printf '%s\n' "${dd_peaks[@]}" | sort -n | tail -1)

awk -v total="$total" -v runs="$runs" -v v="$vyr_wall" -v c="$cp_wall" -v d="$dd_wall" \
    -v vp="$vyr_peak" -v cpk="$cp_peak" -v dp="$dd_peak" 'BEGIN {
  mib = total / 1048576
  printf "extract: 1 GiB album of 4 tracks, median of %d runs\n", runs
  printf "  vyr extract  %7.0f ms  %6.0f MiB/s  peak %5.1f MiB\n", v / 1e6, mib / (v / 1e9), vp / 1024
  printf "  cp           %7.0f ms  %6.0f MiB/s  peak %5.1f MiB\n", c / 1e6, mib / (c / 1e9), cpk / 1024
  printf "  dd ranges    %7.0f ms  %6.0f MiB/s  peak %5.1f MiB\n", d / 1e6, mib / (d / 1e9), dp / 1024
  printf "  time ratio vyr/cp %.2f, vyr/dd %.2f (1.00 or less: no slower)\n", v / c, v / d
}'

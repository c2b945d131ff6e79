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

# One timed run of "$@" into a fresh, empty $work/out: appends the wall time in nanoseconds,
# the peak memory in KiB and the CPU time (user + system) in ms to the arrays named by $1 $2 $3.
timed() {
  local -n walls_=$1 peaks_=$2 cpus_=$3
  shift 3
  rm -rf "$work/out" && mkdir "$work/out" && sync
  local start end
  start=$(date +%s%N)
  /usr/bin/time -o "$work/time.txt" -f '%M %U %S' "$@" >/dev/null
  end=$(date +%s%N)
  walls_+=($((end - start)))
  local peak user system
  read -r peak user system < <(tail -1 "$work/time.txt")
  peaks_+=("$peak")
  cpus_+=("$(awk -v u="$user" -v s="$system" 'BEGIN { print (u + s) * 1000 }')")
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
vyr_walls=() vyr_peaks=() vyr_cpus=() cp_walls=() cp_peaks=() cp_cpus=() dd_walls=() dd_peaks=() dd_cpus=()
for _ in $(seq "$runs"); do
  timed vyr_walls vyr_peaks vyr_cpus "$vyr" extract -o "$work/out" "$album"
  timed cp_walls cp_peaks cp_cpus cp "$album" "$work/out/copy"
  timed dd_walls dd_peaks dd_cpus bash -c dd_ranges
done
vyr_cpu=$(printf '%s\n' "${vyr_cpus[@]}" | median) cp_cpu=$(printf '%s\n' "${cp_cpus[@]}" | median)
dd_cpu=$(printf '%s\n' "${dd_cpus[@]}" | median)
vyr_wall=$(printf '%s\n' "${vyr_walls[@]}" | median) vyr_peak=$(printf '%s\n' "${vyr_peaks[@]}" | sort -n | tail -1)
cp_wall=$(printf '%s\n' "${cp_walls[@]}" | median) cp_peak=$(printf '%s\n' "${cp_peaks[@]}" | sort -n | tail -1)
dd_wall=$(printf '%s\n' "${dd_walls[@]}" | median) dd_peak=$(printf '%s\n' "${dd_peaks[@]}" | sort -n | tail -1)

awk -v total="$total" -v runs="$runs" -v v="$vyr_wall" -v c="$cp_wall" -v d="$dd_wall" \
    -v vp="$vyr_peak" -v cpk="$cp_peak" -v dp="$dd_peak" -v vc="$vyr_cpu" -v cc="$cp_cpu" -v dc="$dd_cpu" 'BEGIN {
  mib = total / 1048576
  printf "extract: 1 GiB album of 4 tracks, median of %d runs\n", runs
  printf "  vyr extract  %7.0f ms  %6.0f MiB/s  CPU %6.0f ms  peak %5.1f MiB\n", v / 1e6, mib / (v / 1e9), vc, vp / 1024
  printf "  cp           %7.0f ms  %6.0f MiB/s  CPU %6.0f ms  peak %5.1f MiB\n", c / 1e6, mib / (c / 1e9), cc, cpk / 1024
  printf "  dd ranges    %7.0f ms  %6.0f MiB/s  CPU %6.0f ms  peak %5.1f MiB\n", d / 1e6, mib / (d / 1e9), dc, dp / 1024
  printf "  wall ratio vyr/cp %.2f, vyr/dd %.2f; CPU ratio vyr/cp %.2f, vyr/dd %.2f (1.00 or less: no slower)\n", v / c, v / d, vc / cc, vc / dc
}'

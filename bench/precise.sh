#!/usr/bin/env bash
# Times `vyr scan --precise` on a 1 GiB join of 128 kbit/s files with ID3v2 and ID3v1 tags
# against `cat FILE >/dev/null` of the same file in the same run, page cache warm, and prints
# the ratio (target: at most 1.0), the user and system times and the peak memory (target:
# under 16 MiB). Then, for each family of the generated corpus (three different files of one
# family joined), the count of parts that come back byte-identical from the classic scan
# (vyr extract --scan), the precise scan (vyr extract --scan --precise) and mp3splt -e, and how
# many of the single files the precise scan leaves whole.
#   bench/precise.sh [VYR]     default: build/release/cli/vyr
# The material is made once into build/bench-precise/ and kept there.
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${PRECISE_RUNS:-5}
[ -x "$vyr" ] || { echo "precise: $vyr is missing (build the release preset first)" >&2; exit 1; }
for tool in /usr/bin/time lame mp3wrap ffmpeg; do
  command -v "$tool" >/dev/null || { echo "precise: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
python=python3
"$python" -c 'import mutagen' 2>/dev/null || python=/usr/bin/python3

cache=build/bench-precise
mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Four different tracks of four minutes, 128 kbit/s CBR, each tagged again under 70 titles:
# 280 files of about 3.8 MiB, 1 GiB and a little more in all.
big=$cache/joined-1gib.mp3
if [ ! -s "$big" ]; then
  echo "precise: making the 1 GiB join in $cache (once)"
  for i in 0 1 2 3; do
    ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=$((220 + 110 * i)):duration=240:sample_rate=44100" \
      -ac 2 "$work/tone$i.wav"
    lame --quiet -b 128 --cbr "$work/tone$i.wav" "$work/tone$i.mp3"
  done
  "$python" - "$work" <<'PY'
import shutil, sys
from mutagen.id3 import ID3, TALB, TIT2, TPE1, TRCK
work = sys.argv[1]
for n in range(280):
    path = f"{work}/track{n:03d}.mp3"
    shutil.copy(f"{work}/tone{n % 4}.mp3", path)
    tag = ID3()
    tag.add(TIT2(encoding=3, text=f"Tone number {n + 1}"))
    tag.add(TPE1(encoding=3, text="The Benchmark Generators"))
    tag.add(TALB(encoding=3, text="A Gibibyte of Tones"))
    tag.add(TRCK(encoding=3, text=f"{n + 1}/280"))
    tag.save(path, v2_version=3, v1=2)
PY
  cat "$work"/track*.mp3 >"$big.tmp" && mv "$big.tmp" "$big"
fi
size=$(stat -c %s "$big")
parts=$("$vyr" scan --precise --json "$big" | grep -c '"row"')
[ "$parts" -eq 280 ] || { echo "precise: found $parts parts in the 1 GiB join, not 280" >&2; exit 1; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs "$@" $runs times: the median wall time in ns in $wall, the median user and system
# processor times in ms in $user and $system, the largest peak memory in KiB in $peak. On a
# machine that others share, the processor times are the steadier figures.
measure() {
  local walls=() users=() systems=() peaks=() start end kib u s
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -o "$work/time.txt" -f '%M %U %S' "$@" >/dev/null 2>"$work/err" || true
    end=$(date +%s%N)
    walls+=($((end - start)))
    read -r kib u s < <(tail -1 "$work/time.txt")
    peaks+=("$kib")
    users+=("$(awk -v t="$u" 'BEGIN { print t * 1000 }')")
    systems+=("$(awk -v t="$s" 'BEGIN { print t * 1000 }')")
  done
  wall=$(printf '%s\n' "${walls[@]}" | median)
  user=$(printf '%s\n' "${users[@]}" | median)
  system=$(printf '%s\n' "${systems[@]}" | median)
  peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
}

cat "$big" >/dev/null  # warm the page cache
measure cat "$big"
cat_wall=$wall cat_user=$user cat_system=$system cat_peak=$peak
measure "$vyr" scan --precise "$big"
scan_wall=$wall scan_user=$user scan_system=$system scan_peak=$peak
# Both read every byte (a 128 kbit/s frame is 417 bytes, so every page holds a header): the
# kernel's copy out of the page cache, system time, is the same for both, and the walk's own
# work is the user time on top of it.
awk -v size="$size" -v runs="$runs" -v c="$cat_wall" -v s="$scan_wall" -v cu="$cat_user" -v cs="$cat_system" \
    -v su="$scan_user" -v ss="$scan_system" -v cp="$cat_peak" -v sp="$scan_peak" 'BEGIN {
  printf "precise: %.0f MiB of 280 joined 128 kbit/s tracks with ID3v2.3 and ID3v1, page cache warm, median of %d runs\n", size / 1048576, runs
  printf "  cat FILE             %6.0f ms wall  %5.0f ms user  %5.0f ms system  %6.0f MiB/s  peak %5.1f MiB\n", c / 1e6, cu, cs, size / 1048576 / (c / 1e9), cp / 1024
  printf "  vyr scan --precise   %6.0f ms wall  %5.0f ms user  %5.0f ms system  %6.0f MiB/s  peak %5.1f MiB\n", s / 1e6, su, ss, size / 1048576 / (s / 1e9), sp / 1024
  printf "  ratio precise/cat: wall %.2f, processor (user + system) %.2f; target at most 1.0: %s by wall time, %s by processor time\n", \
    s / c, (su + ss) / (cu + cs), (s <= c ? "met" : "not met"), (su + ss <= cu + cs ? "met" : "not met")
  printf "  peak memory under 16 MiB: %s\n", (sp < 16 * 1024 ? "met" : "not met")
}'

# The corpus: three variants of each family's file, joined.
for v in 0 1 2; do
  [ -d "$cache/material$v" ] || scripts/make-mp3-material --variant $v "$cache/material$v" >/dev/null
done
families=(cbr44-id3v2-id3v1 vbr48-id3v1 vbr44-id3v2 ffmpeg-id3v24 cover-id3v24 mpeg2-22k mpeg25-11k
  crc-protected apev2 lyrics3v2-id3v1 id3v1-latin1 untagged-cbr)
corpus=$work/corpus
mkdir -p "$corpus"
for family in "${families[@]}"; do
  mkdir -p "$corpus/$family"
  for v in 0 1 2; do cp "$cache/material$v/$family.mp3" "$corpus/$family/$v.mp3"; done
  cat "$corpus/$family"/[012].mp3 >"$corpus/$family/joined.mp3"
done
# mp3wrap of three different CBR files; its index, not the files, is the wrapper's own.
mkdir -p "$corpus/mp3wrap"
for v in 0 1 2; do cp "$cache/material$v/cbr44-id3v2-id3v1.mp3" "$corpus/mp3wrap/$v.mp3"; done
(cd "$corpus/mp3wrap" && mp3wrap w.mp3 0.mp3 1.mp3 2.mp3 >/dev/null && mv w_MP3WRAP.mp3 joined.mp3)
# A damaged album: its header's lines, the EXTBIN line overwritten, then three tracks.
mkdir -p "$corpus/damaged-album"
cp "$cache/material0/cbr44-id3v2-id3v1.mp3" "$corpus/damaged-album/0.mp3"
cp "$cache/material1/untagged-cbr.mp3" "$corpus/damaged-album/1.mp3"
cp "$cache/material2/ffmpeg-id3v24.mp3" "$corpus/damaged-album/2.mp3"
{
  printf '#EXTM3U\r\n#EXTVYR\r\n#EXTALB:Damaged\r\n#EXTART:The Benchmark Generators\r\n'
  for v in 0 1 2; do
    printf '#EXTBYT:%d\r\n#EXTINF:1,Track %d\r\nTrack %d.mp3\r\n' "$(stat -c %s "$corpus/damaged-album/$v.mp3")" $v $v
  done
  printf '#XXXXXX\r\n'
  cat "$corpus/damaged-album"/[012].mp3
} >"$corpus/damaged-album/joined.mp3"

# How many of a family's three files some output file holds byte for byte.
identical() {
  local folder=$1 out=$2 count=0
  for v in 0 1 2; do
    local want
    want=$(md5sum <"$folder/$v.mp3" | cut -d' ' -f1)
    if find "$out" -type f -exec md5sum {} + 2>/dev/null | cut -d' ' -f1 | grep -qx "$want"; then
      count=$((count + 1))
    fi
  done
  echo "$count"
}

have_split=0
command -v mp3splt >/dev/null && have_split=1
printf '  byte-identical parts of 3 per family      classic  precise  mp3splt -e\n'
totals=(0 0 0 0)
for family in "${families[@]}" mp3wrap damaged-album; do
  folder=$corpus/$family
  for method in classic precise split; do rm -rf "$work/out-$method" && mkdir "$work/out-$method"; done
  "$vyr" extract --scan -o "$work/out-classic" "$folder/joined.mp3" >/dev/null 2>&1 || true
  "$vyr" extract --scan --precise -o "$work/out-precise" "$folder/joined.mp3" >/dev/null 2>&1 || true
  split="-"
  if [ "$have_split" -eq 1 ]; then
    mp3splt -q -e -d "$work/out-split" "$folder/joined.mp3" >/dev/null 2>&1 || true
    split=$(identical "$folder" "$work/out-split")
    totals[2]=$((totals[2] + split))
  fi
  classic=$(identical "$folder" "$work/out-classic")
  precise=$(identical "$folder" "$work/out-precise")
  totals[0]=$((totals[0] + classic))
  totals[1]=$((totals[1] + precise))
  totals[3]=$((totals[3] + 3))
  printf '    %-38s %7s  %7s  %10s\n' "$family" "$classic" "$precise" "$split"
done
printf '    %-38s %7s  %7s  %10s\n' "all, of ${totals[3]}" "${totals[0]}" "${totals[1]}" \
  "$([ "$have_split" -eq 1 ] && echo "${totals[2]}" || echo -)"
echo "    (untagged-cbr: files joined with no tag and no VBR header between them stay one part; no rule splits them)"

# The negative control: every single file of every family is one part, never cut.
singles=0 whole=0
for family in "${families[@]}"; do
  for v in 0 1 2; do
    singles=$((singles + 1))
    rows=$("$vyr" scan --precise --json "$corpus/$family/$v.mp3" | grep -c '"row"' || true)
    if [ "$rows" -eq 1 ]; then whole=$((whole + 1)); else echo "    $family/$v.mp3: $rows parts" >&2; fi
  done
done
echo "  single files that vyr scan --precise leaves whole: $whole of $singles"

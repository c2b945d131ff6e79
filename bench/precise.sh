#!/usr/bin/env bash
# Times `vyr scan --precise` on a 1 GiB join of 128 kbit/s files with ID3v2 and ID3v1 tags
# against `cat FILE >/dev/null` of the same file in the same run, page cache warm, and prints
# the ratio (target: at most 1.0), the user and system times and the peak memory (target:
# under 32 MiB); then the same for 100 MB files built to send a walk back and forth (FF bytes,
# "FF FB" over and over, ID3v2 headers each pointing at the next: about a second each). Then,
# for each family of the generated corpus (three different files of one family joined) and
# for joins damaged here (files cut at 4 KiB, a lost sector, a tag size 100 bytes too large,
# an ID3v2 tag appended behind an APE tag, junk in front of files), the parts found and the
# count that come back byte-identical from the classic scan (vyr extract --scan), the precise
# scan (vyr extract --scan --precise) and mp3splt -e; and how many single files, the corpus's
# and those of a matrix of lame, ffmpeg and sox settings, the precise scan leaves whole.
#   bench/precise.sh [VYR]     default: build/release/cli/vyr
# The material is made once into build/bench-precise/ and kept there.
set -euo pipefail
cd "$(dirname "$0")/.."
vyr=${1:-${VYR:-build/release/cli/vyr}}
runs=${PRECISE_RUNS:-5}
[ -x "$vyr" ] || { echo "precise: $vyr is missing (build the release preset first)" >&2; exit 1; }
for tool in /usr/bin/time lame mp3wrap ffmpeg sox; do
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
  printf "  peak memory under 32 MiB: %s\n", (sp < 32 * 1024 ? "met" : "not met")
}'

# Files of 100 MB that hold no track but send a walk back and forth.
degenerate=(erased-flash ff-fb id3v2-chain)
for name in "${degenerate[@]}"; do
  [ -s "$cache/$name.bin" ] && continue
  "$python" - "$cache/$name.bin" "$name" <<'PY'
import sys
path, name = sys.argv[1], sys.argv[2]
size = 100_000_000
unit = {"erased-flash": b"\xff", "ff-fb": b"\xff\xfb", "id3v2-chain": b"ID3\x03\x00\x00\x00\x00\x00\x00"}[name]
with open(path, "wb") as f:
    f.write(unit * (size // len(unit)))
PY
done
printf '  100 MB files without a track (target: about a second each, peak under 32 MiB)\n'
for name in "${degenerate[@]}"; do
  measure "$vyr" scan --precise "$cache/$name.bin"
  awk -v n="$name" -v w="$wall" -v u="$user" -v s="$system" -v p="$peak" 'BEGIN {
    printf "    %-14s %6.0f ms wall  %5.0f ms user  %5.0f ms system  peak %5.1f MiB\n", n, w / 1e6, u, s, p / 1024 }'
done

# The corpus: three variants of each family's file, joined.
for v in 0 1 2; do
  [ -d "$cache/material$v" ] || scripts/make-mp3-material --variant $v --large "$cache/material$v" >/dev/null
done
families=(cbr44-id3v2-id3v1 vbr48-id3v1 vbr44-id3v2 ffmpeg-id3v24 cover-id3v24 cover-200k mpeg2-22k mpeg25-11k
  crc-protected apev2 lyrics3v2-id3v1 id3v1-latin1 layer2-48k sox-48k padding-4k id3v23-unsync id3v24-footer
  apev2-id3v1 id3v1-tag-id3 untagged-cbr)
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
# Joins damaged as downloads and disks damage them; each expected piece is written as 0, 1
# and 2.mp3 (a cut file as cut, a file with a lost sector with its zeros), and they are joined.
damaged=(cut-4k lost-sector tag-size appended-id3v2 junk-in-front)
"$python" - "$cache" "$corpus" <<'PY'
import os, random, sys
cache, corpus = sys.argv[1], sys.argv[2]
def material(v, name):
    with open(f"{cache}/material{v}/{name}.mp3", "rb") as f:
        return f.read()
def tag_size(data, change):
    size = 0
    for b in data[6:10]:
        size = (size << 7) | b
    size += change
    return data[:6] + bytes((size >> s) & 0x7F for s in (21, 14, 7, 0)) + data[10:]
def appended(title):
    # ID3v2.4 with a footer, as a tag appended to a file must be to be found from the end.
    frame = b"TIT2" + bytes([0, 0, 0, len(title) + 1]) + b"\0\0\3" + title
    body = frame + bytes(32)
    size = bytes([0, 0, 0, len(body)])
    return b"ID3\x04\0\x10" + size + body + b"3DI\x04\0\x10" + size
random.seed(7)
pieces = {
    # Cut at a 4 KiB boundary inside a frame; the next file begins with its tag or Info frame.
    "cut-4k": [material(0, "cbr44-id3v2-id3v1")[:4096], material(1, "vbr44-id3v2")[:4096],
               material(2, "ffmpeg-id3v24")],
    "lost-sector": [None, material(1, "ffmpeg-id3v24"), material(2, "vbr48-id3v1")],
    "tag-size": [material(0, "cbr44-id3v2-id3v1"), tag_size(material(1, "ffmpeg-id3v24"), 100),
                 tag_size(material(2, "vbr44-id3v2"), 100)],
    # Each followed by a file with a tag of its own: an appended tag followed by frames alone
    # cannot be told from a leading one, and leads them.
    "appended-id3v2": [material(0, "apev2") + appended(b"Appended"), material(1, "ffmpeg-id3v24"),
                       material(2, "apev2-id3v1") + appended(b"Again")],
    "junk-in-front": [bytes(random.getrandbits(8) for _ in range(700)) + material(v, "cbr44-id3v2-id3v1")
                      for v in range(3)],
}
sector = bytearray(material(0, "cbr44-id3v2-id3v1"))
sector[2000:6096] = bytes(4096)
pieces["lost-sector"][0] = bytes(sector)
for name, files in pieces.items():
    os.makedirs(f"{corpus}/{name}", exist_ok=True)
    for v, data in enumerate(files):
        with open(f"{corpus}/{name}/{v}.mp3", "wb") as f:
            f.write(data)
    with open(f"{corpus}/{name}/joined.mp3", "wb") as f:
        f.write(b"".join(files))
PY

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
printf '  parts found / byte-identical of 3 per family   classic    precise    mp3splt -e\n'
totals=(0 0 0 0 0 0 0)
for family in "${families[@]}" mp3wrap damaged-album "${damaged[@]}"; do
  folder=$corpus/$family
  for method in classic precise split; do rm -rf "$work/out-$method" && mkdir "$work/out-$method"; done
  "$vyr" extract --scan -o "$work/out-classic" "$folder/joined.mp3" >/dev/null 2>&1 || true
  "$vyr" extract --scan --precise -o "$work/out-precise" "$folder/joined.mp3" >/dev/null 2>&1 || true
  split="-"
  if [ "$have_split" -eq 1 ]; then
    mp3splt -q -e -d "$work/out-split" "$folder/joined.mp3" >/dev/null 2>&1 || true
    found=$(find "$work/out-split" -type f | wc -l)
    same=$(identical "$folder" "$work/out-split")
    split="$found / $same"
    totals[4]=$((totals[4] + found)) totals[5]=$((totals[5] + same))
  fi
  cf=$(find "$work/out-classic" -type f | wc -l) cs=$(identical "$folder" "$work/out-classic")
  pf=$(find "$work/out-precise" -type f | wc -l) ps=$(identical "$folder" "$work/out-precise")
  totals[0]=$((totals[0] + cf)) totals[1]=$((totals[1] + cs)) totals[2]=$((totals[2] + pf)) totals[3]=$((totals[3] + ps))
  totals[6]=$((totals[6] + 3))
  printf '    %-42s %4s / %-3s  %4s / %-3s  %10s\n' "$family" "$cf" "$cs" "$pf" "$ps" "$split"
done
printf '    %-42s %4s / %-3s  %4s / %-3s  %10s\n' "all, of ${totals[6]}" "${totals[0]}" "${totals[1]}" "${totals[2]}" \
  "${totals[3]}" "$([ "$have_split" -eq 1 ] && echo "${totals[4]} / ${totals[5]}" || echo -)"
echo "    (untagged-cbr: files joined with no tag and no VBR header between them stay one part)"

# The negative control: every single file is one part, never cut, and comes back whole: the
# corpus's, and a matrix of encoders and settings without any tag or Info frame, where only
# the frames themselves could mislead a walk.
matrix=$cache/single-files
if [ ! -d "$matrix" ]; then
  mkdir -p "$matrix.tmp"
  sox -n -r 44100 -c 2 "$work/music.wav" synth 12 pluck C3 pluck E3 pluck G3 remix - 2>/dev/null
  sox -n -r 44100 -c 2 "$work/noise.wav" synth 6 pinknoise vol 0.3
  sox -n -r 44100 -c 2 "$work/quiet.wav" trim 0 3
  sox "$work/noise.wav" "$work/quiet.wav" "$work/music.wav" "$work/mix.wav"
  n=0
  for options in "-b 32" "-b 128" "-b 320" "-V 0" "-V 5" "-V 9" "--abr 96" "-b 128 --strictly-enforce-ISO" "-b 48 -m m" "-b 64 --nores"; do
    for rate in 44.1 48 32 22.05 16 11.025 8; do
      n=$((n + 1))
      # shellcheck disable=SC2086 # the options are words
      lame --quiet -t --resample $rate $options "$work/mix.wav" "$matrix.tmp/lame$n.mp3" 2>/dev/null || true
    done
  done
  for rate in 64k 192k 320k; do
    ffmpeg -loglevel error -y -i "$work/mix.wav" -c:a libmp3lame -b:a $rate -write_xing 0 -id3v2_version 0 "$matrix.tmp/ffmpeg-$rate.mp3"
    ffmpeg -loglevel error -y -i "$work/mix.wav" -c:a mp2 -b:a $rate -f mp2 "$matrix.tmp/ffmpeg-mp2-$rate.mp3"
  done
  for c in 64 128 -4.2; do sox "$work/mix.wav" -C $c "$matrix.tmp/sox$c.mp3"; done
  find "$matrix.tmp" -empty -delete
  mv "$matrix.tmp" "$matrix"
fi
singles=0 whole=0
for file in "$corpus"/*/[012].mp3 "$matrix"/*.mp3; do
  case "$file" in "$corpus"/mp3wrap/* | "$corpus"/damaged-album/* | "$corpus"/cut-4k/* | "$corpus"/lost-sector/* | "$corpus"/tag-size/* | "$corpus"/appended-id3v2/* | "$corpus"/junk-in-front/*) continue ;; esac
  singles=$((singles + 1))
  rm -rf "$work/out-single" && mkdir "$work/out-single"
  "$vyr" extract --scan --precise -o "$work/out-single" "$file" >/dev/null 2>&1 || true
  written=$(find "$work/out-single" -type f)
  if [ "$(echo "$written" | grep -c .)" -eq 1 ] && cmp -s "$written" "$file"; then
    whole=$((whole + 1))
  else
    echo "    ${file#"$work"/}: $(echo "$written" | grep -c .) parts" >&2
  fi
done
echo "  single files that vyr extract --scan --precise writes back whole, as one part: $whole of $singles"

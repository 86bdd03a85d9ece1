#!/bin/sh
# Joins the parts of a split render into what one whole render writes, byte
# for byte.
#
#   join_parts.sh [--remove-parts] [--props DUMP]... y4m|skip-drop|csv|wav|rf64|wav-extensible OUTPUT PART...
#
# The parts in frame order: a Y4M part is the stream header, then its
# frames; a CSV part its header line, then its rows; a WAV part (RIFF or
# RF64, plain or extensible) a header of its own, then its samples. Joined:
# the first part's header, then every part's frames, rows or samples; for
# WAV a header with the sizes of them all, RIFF where they fit, else RF64
# (rf64, wav-extensible) or a refusal (wav), as the runner's forms do.
# OUTPUT is written beside itself, then renamed. With --remove-parts each
# part goes once joined (the first one renamed where it can be), so the
# join needs room for about one part beyond the parts. Given the parts'
# --props dumps (once per part, in the same order), the join is refused
# unless their frames form one run, none missing or repeated; a surplus
# task's empty dump is no gap.
set -eu
remove=false
[ "${1:-}" = --remove-parts ] && { remove=true; shift; }
due=
while [ "${1:-}" = --props ]; do
  [ $# -ge 2 ] || { sed -n '5p' "$0" >&2; exit 2; }
  # Each line starts {"frame": N; prints the frame due after the dump.
  due=$(awk -v due="$due" -v dump="$2" '
    { n = substr($0, 11) + 0
      if (due != "" && n != due) {
        if (n > due) printf "join_parts.sh: %s: frame %d where frame %d was due: frames %d to %d missing\n", dump, n, due, due, n - 1 > "/dev/stderr"
        else printf "join_parts.sh: %s: frame %d where frame %d was due: frame %d repeated\n", dump, n, due, n > "/dev/stderr"
        exit 1
      }
      due = n + 1 }
    END { print due }' "$2")
  shift 2
done
[ $# -ge 3 ] || { sed -n '5p' "$0" >&2; exit 2; }
kind=$1 output=$2
shift 2
case $kind in
  y4m|skip-drop|csv|wav|rf64|wav-extensible) ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac
first=$1
joined=$output.joining
trap 'rm -f "$joined"' EXIT
refuse() { echo "join_parts.sh: $*" >&2; exit 1; }
done_with() { if $remove; then rm -f "$1"; fi; }

# The N-byte unsigned little-endian field at OFFSET of FILE.
field() {
  od -An -tu1 -j "$2" -N "$3" "$1" | awk '{ for (i = NF; i >= 1; i--) v = v * 256 + $i } END { printf "%.0f\n", v }'
}
# N bytes at OFFSET of FILE as hex text, to compare.
hex() { od -An -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }
le() {
  v=$1 n=$2
  while [ "$n" -gt 0 ]; do
    printf "$(printf '\\%03o' $((v & 255)))"
    v=$((v >> 8)) n=$((n - 1))
  done
}

case $kind in
  y4m|skip-drop|csv)
    header=$(head -n 1 "$first")
    for part in "$@"; do
      [ "$(head -n 1 "$part")" = "$header" ] || refuse "$part does not start with the header line of $first"
    done
    if $remove && mv "$first" "$joined" 2>/dev/null; then :; else cat "$first" > "$joined"; fi
    shift
    for part in "$@"; do
      tail -n +2 "$part" >> "$joined"
      done_with "$part"
    done
    mv "$joined" "$output"
    exit 0
    ;;
esac

# WAV: a part's header is "RIFF" or "RF64" (then a 36-byte ds64 chunk), the
# format chunk and the data chunk's header; every part has the first one's
# format, and holds as many sample bytes as its header says.
ds64_of() {
  case $(head -c 4 "$1") in
    RIFF) echo 0 ;;
    RF64) echo 36 ;;
    *) refuse "$1 is not a WAV stream (no RIFF or RF64 tag)" ;;
  esac
}
ds64=$(ds64_of "$first")
fmt_size=$(field "$first" $((ds64 + 16)) 4)
format=$(hex "$first" $((ds64 + 12)) $((fmt_size + 8)))
block_align=$(field "$first" $((ds64 + 32)) 2)
total=0
for part in "$@"; do
  d=$(ds64_of "$part")
  [ "$(hex "$part" $((d + 12)) $((fmt_size + 8)))" = "$format" ] || refuse "$part has another audio format than $first"
  [ "$(hex "$part" $((d + 20 + fmt_size)) 4)" = 64617461 ] || refuse "$part has no data chunk after its format"
  if [ "$d" = 0 ]; then said=$(field "$part" $((24 + fmt_size)) 4); else said=$(field "$part" 28 8); fi
  held=$(($(wc -c < "$part") - d - 28 - fmt_size))
  [ "$held" = "$said" ] || refuse "$part holds $held bytes of samples, its header says $said"
  total=$((total + held))
done

# The runner's own header for that many bytes.
riff_overhead=$((20 + fmt_size))
{
  if [ "$total" -le $((4294967295 - riff_overhead)) ]; then
    printf RIFF; le $((total + riff_overhead)) 4; printf WAVE
  elif [ "$kind" = wav ]; then
    refuse "the joined audio is too long for a WAV header"
  else
    printf RF64; le 4294967295 4; printf WAVEds64; le 28 4
    le $((total + riff_overhead + 36)) 8; le "$total" 8; le $((total / block_align)) 8; le 0 4
  fi
  tail -c +$((ds64 + 13)) "$first" | head -c $((fmt_size + 8))
  printf data
  if [ "$total" -le $((4294967295 - riff_overhead)) ]; then le "$total" 4; else le 4294967295 4; fi
} > "$joined"
for part in "$@"; do
  tail -c +$(($(ds64_of "$part") + 28 + fmt_size + 1)) "$part" >> "$joined"
  done_with "$part"
done
mv "$joined" "$output"

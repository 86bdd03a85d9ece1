#!/bin/sh
# Renders one clip in N frame ranges at once with GNU parallel, then joins
# the parts into what one whole render writes, byte for byte.
#
#   split_render.sh N y4m|skip-drop|csv|wav script.avs OUTPUT [NUM DEN]
#
#   y4m        OUTPUT is the YUV4MPEG2 stream (--y4m)
#   skip-drop  the same without dropped frames, at NUM/DEN (--y4m-skip-drop)
#   csv        OUTPUT is the validation CSV (--validate)
#   wav        OUTPUT is the WAV stream (--wav)
#
# Each part is rendered by zvk_avs_runner --frames FIRST LAST: a Y4M part
# carries the stream header, then its frames; a CSV part its header line,
# then its rows; a WAV part a header of its own, then the samples of its
# frames' time span (adjacent spans tile the audio exactly). Joined: the
# first part's header, then every part's frames, rows or samples.
# The runner is zvk_avs_runner on PATH, or $ZVK_AVS_RUNNER.
set -eu
[ $# -ge 4 ] || { sed -n '4,10p' "$0" >&2; exit 2; }
parts=$1 kind=$2 script=$3 output=$4
runner=${ZVK_AVS_RUNNER:-zvk_avs_runner}
case $kind in
  y4m) form='--y4m' ;;
  skip-drop) form="--y4m-skip-drop ${5:?NUM} ${6:?DEN}" ;;
  csv) form='--validate' ;;
  wav) form='--wav' ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac

# The clip's frame count, from the description line of a one-frame render.
frames=$("$runner" --frames 0 0 --validate "$script" | sed -n 's/^clip_info,.*,frames=\([0-9]*\),.*/\1/p')
[ -n "$frames" ] && [ "$frames" -gt 0 ] || { echo "no frames in $script" >&2; exit 1; }
[ "$parts" -le "$frames" ] || parts=$frames

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Part k of N: frames k*F/N to (k+1)*F/N - 1.
k=0
while [ "$k" -lt "$parts" ]; do
  echo "$((k + 1)) $((k * frames / parts)) $(((k + 1) * frames / parts - 1))"
  k=$((k + 1))
done > "$work/ranges"

if [ "$kind" = csv ]; then
  parallel --halt now,fail=1 --colsep ' ' \
    "$runner" --frames {2} {3} $form "$script" "$work/part.{1}" '>' /dev/null < "$work/ranges"
else
  parallel --halt now,fail=1 --colsep ' ' \
    "$runner" --frames {2} {3} $form "$script" '>' "$work/part.{1}" < "$work/ranges"
fi

# Little-endian 32-bit field for the WAV header.
le32() {
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}

{
  k=1
  while [ "$k" -le "$parts" ]; do
    part=$work/part.$k
    case $kind in
      wav)
        tail -c +45 "$part" ;;
      *)
        if [ "$k" = 1 ]; then cat "$part"; else tail -n +2 "$part"; fi ;;
    esac
    k=$((k + 1))
  done
} > "$work/joined"

if [ "$kind" = wav ]; then
  # The first part's header, with the sizes of all the samples.
  size=$(wc -c < "$work/joined")
  [ "$size" -le 4294967259 ] || { echo "the joined audio is too long for a WAV header" >&2; exit 1; }
  { printf RIFF; le32 $((size + 36)); head -c 40 "$work/part.1" | tail -c 32; le32 "$size"; cat "$work/joined"; } > "$output"
else
  mv "$work/joined" "$output"
fi

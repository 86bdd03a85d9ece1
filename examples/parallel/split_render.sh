#!/bin/sh
# Renders one clip in N frame ranges at once with GNU parallel, then joins
# the parts into what one whole render writes, byte for byte.
#
#   split_render.sh N y4m|skip-drop|csv|wav|rf64|wav-extensible script.avs OUTPUT [NUM DEN]
#
#   y4m        OUTPUT is the YUV4MPEG2 stream (--y4m)
#   skip-drop  the same without dropped frames, at NUM/DEN (--y4m-skip-drop)
#   csv        OUTPUT is the validation CSV (--validate)
#   wav        OUTPUT is the WAV stream (--wav, --rf64, --wav-extensible)
#
# Each part is rendered by zvk_avs_runner --frames FIRST LAST (a WAV part
# holds the samples of its frames' time span: adjacent spans tile the audio
# exactly), and join_parts.sh beside this script joins them. The parts are
# written beside OUTPUT and removed as they are joined. A clip without
# video frames (audio alone) is rendered whole, in one part.
# The runner is zvk_avs_runner on PATH, or $ZVK_AVS_RUNNER. Each part's frame
# cache is capped (--memory-max) so that all of them together take what one
# render would (a quarter of the memory); $ZVK_MEMORY_MAX sets the megabytes
# per part instead.
set -eu
[ $# -ge 4 ] || { sed -n '4,10p' "$0" >&2; exit 2; }
parts=$1 kind=$2 script=$3 output=$4
runner=${ZVK_AVS_RUNNER:-zvk_avs_runner}
case $kind in
  y4m) form='--y4m' ;;
  skip-drop) form="--y4m-skip-drop ${5:?NUM} ${6:?DEN}" ;;
  csv) form='--validate' ;;
  wav|rf64|wav-extensible) form="--$kind" ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac

# The clip's frame count, asked without rendering (the one "frames" key).
info=$("$runner" --info "$script")
frames=$(echo "$info" | sed -n 's/.*"frames":\(-*[0-9]*\).*/\1/p')
if [ "${frames:-0}" -le 0 ]; then
  echo "split_render.sh: $script has no video frames to split by: rendering it whole, in one part" >&2
  if [ "$kind" = csv ]; then exec "$runner" $form "$script" "$output" > /dev/null; fi
  exec "$runner" $form "$script" > "$output"
fi
[ "$parts" -le "$frames" ] || parts=$frames
memory_kb=$(sed -n 's/^MemTotal: *\([0-9]*\) kB$/\1/p' /proc/meminfo 2>/dev/null || true)
cache=${ZVK_MEMORY_MAX:-$((${memory_kb:-0} / 1024 / 4 / parts))}
[ "$cache" -ge 64 ] || cache=64

# Beside the output: the parts take the room the output will take, and the
# join renames or appends them there instead of copying across filesystems.
work=$(mktemp -d "$(dirname -- "$output")/.$(basename -- "$output").parts.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Part k of N: frames k*F/N to (k+1)*F/N - 1.
k=0
while [ "$k" -lt "$parts" ]; do
  echo "$((k + 1)) $((k * frames / parts)) $(((k + 1) * frames / parts - 1))"
  k=$((k + 1))
done > "$work/ranges"

# Paths reach the parts' shell through the environment, never through the
# command line GNU parallel builds, so no character in them is special.
export ZVK_PART_RUNNER="$runner" ZVK_PART_SCRIPT="$script" ZVK_PART_DIR="$work"
export PARALLEL_SHELL=/bin/sh
if [ "$kind" = csv ]; then
  parallel --halt now,fail=1 --colsep ' ' \
    '"$ZVK_PART_RUNNER"' --memory-max "$cache" --frames {2} {3} $form '"$ZVK_PART_SCRIPT" "$ZVK_PART_DIR/part.{1}" > /dev/null' < "$work/ranges"
else
  parallel --halt now,fail=1 --colsep ' ' \
    '"$ZVK_PART_RUNNER"' --memory-max "$cache" --frames {2} {3} $form '"$ZVK_PART_SCRIPT" > "$ZVK_PART_DIR/part.{1}"' < "$work/ranges"
fi

# The parts in frame order, joined.
set --
k=1
while [ "$k" -le "$parts" ]; do set -- "$@" "$work/part.$k"; k=$((k + 1)); done
"$(dirname -- "$0")/join_parts.sh" --remove-parts "$kind" "$output" "$@"

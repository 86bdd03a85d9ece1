# Finds the AviSynth+ source the real groups build from and names it by its
# hash. Sourced by build-avisynth and avisynth-headers, which define say()
# and checkout first.
#
# Source: $ZVK_AVISYNTH_SOURCE (an archive or an unpacked tree), else
# ../shared/avisynthplus/avisynthplus-3.7.5.tar.xz beside the checkout; an
# archive with a NAME.sha256 beside it must match it.

how_to_provide="Provide an AviSynth+ 3.7 source: set ZVK_AVISYNTH_SOURCE to a release archive or an unpacked source tree (any AviSynth+ 3.7 source works), or place avisynthplus-3.7.5.tar.xz in ../shared/avisynthplus/ beside the checkout."

# Sets source (absolute) and source_hash: an archive's hash, checked against
# its .sha256 when there is one; a tree's hash over every file. Exits 77
# when there is no source, 1 when an archive fails its checksum.
find_avisynth_source() {
  source=${ZVK_AVISYNTH_SOURCE:-$checkout/../shared/avisynthplus/avisynthplus-3.7.5.tar.xz}
  if [ ! -e "$source" ]; then
    say "no AviSynth+ source at $source. $how_to_provide"
    exit 77
  fi
  source=$(realpath "$source")
  if [ -f "$source" ]; then
    source_hash=$(sha256sum "$source" | cut -d' ' -f1)
    if [ -f "$source.sha256" ]; then
      local stated
      stated=$(cut -d' ' -f1 "$source.sha256")
      if [ "$stated" != "$source_hash" ]; then
        say "$source has SHA-256 $source_hash, but $source.sha256 states $stated: a damaged or altered archive"
        exit 1
      fi
    fi
  elif [ -f "$source/avs_core/CMakeLists.txt" ]; then
    source_hash=$(cd "$source" && find . -type f ! -path './.git/*' -print0 | LC_ALL=C sort -z |
                  xargs -0 sha256sum | sha256sum | cut -d' ' -f1)
  else
    say "$source is neither an archive nor an AviSynth+ source tree (no avs_core/CMakeLists.txt). $how_to_provide"
    exit 77
  fi
}

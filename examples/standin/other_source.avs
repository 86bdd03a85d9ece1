# A frame 0 from another source: status 15, and why on standard error.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --check-source 1001 examples/standin/other_source.avs
# Status: 15
# Errors:
#   frame 0 has zvk_source_id 2002, expected 1001
frames = 24
prop zvk_source_id = int 2002

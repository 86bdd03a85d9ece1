# Does frame 0 come from source 1001? The answer is the exit status.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --check-source 1001 examples/standin/source_id.avs
# Status: 0
# Output:
#   source_id=1001
frames = 24
prop zvk_source_id = int 1001

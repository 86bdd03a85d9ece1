# Marks every fifth frame as dropped; --y4m-skip-drop leaves those out and
# writes the rate of the frames that remain.
# Needs: a real AviSynth+ (3.7 or later).
# Run: zvk_avs_runner --y4m-skip-drop 24 1 examples/avisynth/drop_frames.avs | ffprobe -v error -count_frames -show_entries stream=nb_read_frames,r_frame_rate -of csv=p=0 -
# Prints:
#   24/1,96
BlankClip(length=120, width=320, height=240, pixel_type="YV12", fps=30)
ScriptClip("""propSet("zvk_drop_frame", current_frame % 5 == 4 ? 1 : 0)""")

# Frames 12 and 13 are marked as dropped: --y4m-skip-drop leaves them out
# and writes the frame rate given on the command line.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --y4m-skip-drop 24000 1001 examples/standin/drop_frames.avs
# Status: 0
# Output starts:
#   YUV4MPEG2 W64 H36 F24000:1001 Ip A0:0 C420jpeg
# Output bytes: 159299
width = 64
height = 36
pixel_type = YV12
fps = 25/1
frames = 48
prop zvk_drop_frame = int 0
prop zvk_drop_frame @12-13 = int 1

# A 10-bit 4:2:2 clip: the Y4M tag follows the depth; samples take two bytes.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --y4m examples/standin/ten_bit.avs
# Status: 0
# Output starts:
#   YUV4MPEG2 W64 H36 F30000:1001 Ip A0:0 C422p10
# Output bytes: 92266
width = 64
height = 36
pixel_type = YUV422P10
fps = 30000/1001
frames = 10

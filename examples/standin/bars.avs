# A clip description for the stand-in library (not AviSynth syntax): a
# 64x36 8-bit 4:2:0 clip of 48 frames at 24000/1001 whose frames carry the
# identity and colour properties a zevokit script stamps on them.
width = 64
height = 36
pixel_type = YV12
fps = 24000/1001
frames = 48
prop zvk_source_id = int 1001
prop zvk_source_frame = int frame
prop zvk_drop_frame = int 0
prop zvk_drop_frame @12-13 = int 1
prop _Matrix = int 1
prop _Primaries = int 1
prop _Transfer = int 1
prop _ColorRange = int 0
prop zvk_absolute_timestretch = float 1.001

# Validation report with a CSV of frame properties.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --validate examples/standin/bars.avs frames.csv
# Status: 0
# Output:
#   clip_info,width=64,height=36,chroma=C420jpeg,bit_depth=8,frames=48,fps_num=24000,fps_den=1001,has_audio=0,audio_rate=0,audio_channels=0,audio_samples=0
#   rendered=48
# File frames.csv starts:
#   output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,absolute_timestretch
#   0,1001,0,0,1,1,1,0,1.0009999999999999
#   1,1001,1,0,1,1,1,0,1.0009999999999999
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

# Stamps the frame properties the runner reads: the source identity of every
# output frame, the drop flag, the colour description and the time stretch.
# Needs: a real AviSynth+ (3.7 or later).
# Run: zvk_avs_runner --validate examples/avisynth/stamp_properties.avs frames.csv
# Status: 0
# Output:
#   clip_info,width=640,height=360,chroma=C420jpeg,bit_depth=8,frames=240,fps_num=24000,fps_den=1001,has_audio=1,audio_rate=48000,audio_channels=2,audio_samples=480480
#   rendered=240
# File frames.csv starts:
#   output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,absolute_timestretch
#   0,1001,0,0,1,1,1,1,1.0009999999999999
#   1,1001,1,0,1,1,1,1,1.0009999999999999
BlankClip(length=240, width=640, height=360, pixel_type="YV12", fps=24000, fps_denominator=1001, \
          audio_rate=48000, channels=2, sample_type="16bit", color=$404040)
# The same id on every frame; the source frame number per frame.
propSet("zvk_source_id", 1001)
ScriptClip("""propSet("zvk_source_frame", current_frame)""")
propSet("zvk_drop_frame", 0)
# BT.709, limited range (_ColorRange 1, as AviSynth+'s own conversions set
# it; 0 is full range).
propSet("_Matrix", 1)
propSet("_Primaries", 1)
propSet("_Transfer", 1)
propSet("_ColorRange", 1)
propSet("zvk_absolute_timestretch", 1.001)

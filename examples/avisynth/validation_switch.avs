# The runner sets zvk_validation_blank before importing the script: true
# under --validate, false under --validate-real. A script can render a cheap
# stand-in clip of the same shape for a quick validation, and the real source
# otherwise. Outside the runner the variable does not exist.
# Needs: a real AviSynth+ (3.7 or later).
# Run: zvk_avs_runner --validate examples/avisynth/validation_switch.avs
# Status: 0
# Output:
#   clip_info,width=320,height=240,chroma=C420jpeg,bit_depth=8,frames=100,fps_num=25,fps_den=1,has_audio=0,audio_rate=0,audio_channels=0,audio_samples=0
#   rendered=100
blank = VarExist("zvk_validation_blank") ? zvk_validation_blank : false
real = ColorBars(width=320, height=240, pixel_type="YV12").KillAudio().AssumeFPS(25).Trim(0, 99)
blank ? BlankClip(real) : real
propSet("zvk_source_id", blank ? 0 : 1001)

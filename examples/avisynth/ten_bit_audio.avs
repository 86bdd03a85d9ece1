# A 10-bit 4:2:0 clip with float audio: --y4m writes C420p10, --wav writes a
# float WAV (format tag 3).
# Needs: a real AviSynth+ (3.7 or later).
# Run: zvk_avs_runner --y4m examples/avisynth/ten_bit_audio.avs | head -1
# Prints:
#   YUV4MPEG2 W640 H360 F25:1 Ip A0:0 C420p10
# Run: zvk_avs_runner --wav examples/avisynth/ten_bit_audio.avs | ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 -
# Prints:
#   pcm_f32le,48000,2
BlankClip(length=50, width=640, height=360, pixel_type="YUV420P10", fps=25, \
          audio_rate=48000, channels=2, sample_type="float")

# A first render: ten seconds of colour bars with a title and the frame
# number, at 24000/1001 frames per second (examples/first-render encodes it).
# Needs: a real AviSynth+ (3.7 or later).
# Run: zvk_avs_runner --y4m examples/avisynth/first_render.avs | ffprobe -v error -count_frames -show_entries stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 -
# Prints:
#   640,360,24000/1001,240
ColorBars(width=640, height=360, pixel_type="YV12").KillAudio()
AssumeFPS(24000, 1001)
Trim(0, 239)
Subtitle("zvk_avs_runner: a first render with AviSynth+", align=8)
ShowFrameNumber(x=320, y=200)

# Two seconds of stereo 16-bit audio at 48000 Hz as a WAV stream.
# Needs: the stand-in library (a clip description, not AviSynth syntax).
# Run: zvk_avs_runner --wav examples/standin/audio.avs
# Status: 0
# Output starts:
#   RIFF
# Output bytes: 384044
frames = 0
audio_rate = 48000
sample_type = int16
channels = 2
audio_samples = 96000

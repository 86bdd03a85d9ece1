// Every exit status of the runner, named once with what it means. The
// README's table and the manual page say the same (a test holds them to this
// list).
#ifndef ZVK_EXIT_STATUS_H
#define ZVK_EXIT_STATUS_H

// X(name, value, meaning)
#define EXIT_STATUSES(X)                                                                                    \
    X(STATUS_DONE, 0, "done: every frame rendered, the stream written, or the source id matched")           \
    X(STATUS_IMPORT_FAILED, 1, "importing the script gave an error (its text is on standard error)")        \
    X(STATUS_CANNOT_START, 2,                                                                               \
      "usage error, a zero frame-rate argument, a frame range that is not two frame numbers, is "           \
      "empty or does not fit the clip, the AviSynth library cannot be loaded or lacks a required "          \
      "function, the environment cannot be created, the frame property functions are missing (with "        \
      "`--props`, the property enumeration too), the validation variable or a script variable "             \
      "cannot be set, or a file the run would write (the CSV, its checkpoint log, the `--timecodes` "       \
      "file, the `--props` file, the `--bench` CSV) names the script, the file of standard output "         \
      "or standard error, another file of the run or one another run is writing, or has an empty "          \
      "name (`--timecodes`, `--props`, the `--bench` CSV)")                                                 \
    X(STATUS_NOT_A_CLIP, 3, "the script returned something other than a clip")                              \
    X(STATUS_NO_Y4M_TAG, 4,                                                                                 \
      "Y4M: the clip's pixel format has no YUV4MPEG2 tag; Matroska: no raw layout FFmpeg reads; raw: "      \
      "a pixel type the library does not define")                                                           \
    X(STATUS_FRAME_FAILED, 5, "a frame cannot be fetched, or its planes cannot be read")                    \
    X(STATUS_NO_AUDIO, 6, "WAV: the clip has no audio; Matroska: neither video nor audio")                  \
    X(STATUS_SAMPLE_TYPE, 7, "WAV or Matroska: the audio sample type is not supported (8-bit, or unknown)") \
    X(STATUS_WAV_TOO_LARGE, 8,                                                                              \
      "WAV: the stream would exceed the RIFF size limit (`--wav`), or the header cannot describe the "      \
      "audio")                                                                                              \
    X(STATUS_AUDIO_FAILED, 9, "WAV or Matroska: audio cannot be fetched")                                   \
    X(STATUS_NO_AUDIO_BUFFER, 10, "WAV or Matroska: the audio buffer cannot be allocated")                  \
    X(STATUS_OUTPUT_FAILED, 11,                                                                             \
      "an output could not be written: the validation CSV, the `--timecodes` file, the `--props` "          \
      "file or the `--bench` CSV cannot be opened or written in full, or is no longer the file at "         \
      "its path at the end (deleted, replaced or cut short); or standard output fails other than by "       \
      "a consumer that stopped reading")                                                                    \
    X(STATUS_PROPERTY_FAILED, 12,                                                                           \
      "a frame property cannot be read (a CSV row, frame 0's source id, or a `--props` line)")              \
    X(STATUS_NO_FRAMES, 13, "source check: the clip has no video frames")                                   \
    X(STATUS_NO_SOURCE_ID, 14, "source check: frame 0 has no `zvk_source_id`")                              \
    X(STATUS_WRONG_SOURCE_ID, 15, "source check: frame 0's `zvk_source_id` differs from the expected id")

#define EXIT_STATUS_ENUM(name, value, meaning) name = value,
enum exit_status { EXIT_STATUSES(EXIT_STATUS_ENUM) };
#undef EXIT_STATUS_ENUM

// A run that stopped because it was asked to (see watch_for_interruption);
// never an exit status: the run ends the way the request ends a process.
enum { STATUS_INTERRUPTED = -1 };

#endif

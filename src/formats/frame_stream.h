// What the video streams (Y4M and raw planes) share: the fetch of a frame,
// the rows of its planes, and the --timecodes file beside the stream.
#ifndef ZVK_FRAME_STREAM_H
#define ZVK_FRAME_STREAM_H

#include <atomic>

#include "formats/timecodes.h"
#include "pipe/stream_writer.h"
#include "run/output.h"

// Where a plane's rows are, as the library describes them.
struct plane_rows {
    const unsigned char* first;
    int pitch;
    int row_size;
    int height;
};

plane_rows plane_of(const AVS_VideoFrame* frame, int plane);

// A negative size, or rows without memory, would read where the library
// never put the frame.
bool readable(const plane_rows* rows);

struct frame_stream_state;

// A frame's timestamp line, written by the thread that writes the frame,
// just before it: the file never holds fewer lines than the frames a
// consumer got. A slot per chunk the writer may hold.
struct pending_line {
    frame_stream_state* stream;
    char text[TIMECODE_LINE_SIZE];
};

// The first member of every video stream's state. With --timecodes: the
// file, the start of the frame held, and the status of a line that could
// not be written (the next fetch stops the run with it; the writer thread
// sets it).
struct frame_stream_state {
    bool timed;
    timecodes_file timecodes;
    double frame_start;
    pending_line lines[STREAM_WRITER_DEPTH];
    std::atomic<int> status;
};

// Fetches a frame; a failure is kept in job->failure.
AVS_VideoFrame* stream_get_frame(run_job* job, int index);

// The rows of unit n's planes, by the library's plane ids. False where one
// cannot be read: the frame is released and the failure kept, so that
// nothing of it is written.
bool stream_frame_planes(run_job* job, int64_t n, unit* u, const int* ids, int count, plane_rows* rows);

// prepare: claims the timestamp file.
int stream_prepare(run_job* job);

// Once the clip's format is known to fit, and before anything goes out:
// the frames before a range are fetched for their durations alone, and the
// timestamp file is emptied, so that a file it cannot have leaves the
// stream empty.
int stream_start_timeline(run_job* job);

// fetch of frame n of the range; frames move the timeline in their order,
// written or left out. A timestamp line that failed ends the run first.
int stream_fetch_frame(run_job* job, int64_t n, unit* u);

// The frame's timestamp line goes with its chunk (a frame written).
void stream_time_chunk(run_job* job, int64_t n, stream_chunk* chunk);

void stream_release_frame(run_job* job, unit* u);
int stream_finish(run_job* job, int status);

#endif

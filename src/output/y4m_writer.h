// The YUV4MPEG2 stream: one header line, then "FRAME\n" and the Y, U and V
// planes of every frame that is not left out.
#ifndef ZVK_Y4M_WRITER_H
#define ZVK_Y4M_WRITER_H

#include <stdint.h>

#include "avs/avs_interface.h"
#include "command_line.h"

// Writes and flushes the stream header; 0, or 4 when the clip's pixel
// format has no Y4M tag (reported, nothing written to standard output).
int write_y4m_header(const AVS_VideoInfo* vi, uint32_t fps_num, uint32_t fps_den);

// Writes one held frame; under --y4m-skip-drop a frame whose zvk_drop_frame
// is present and non-zero is left out. Returns 0, or 5 when the library
// describes a plane that cannot be read (nothing of the frame is written).
int write_y4m_frame(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                    run_mode mode, int index);

// Where a plane's rows are, as the library describes them.
struct plane_rows {
    const unsigned char* first;
    int pitch;
    int row_size;
    int height;
};

// Asks the library for a plane (read pointer, pitch, row size, height).
plane_rows plane_of(const AVS_VideoFrame* frame, int plane);

// The rows of one plane, without the padding between them.
void write_plane(const plane_rows* rows);

#endif

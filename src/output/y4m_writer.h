// The YUV4MPEG2 stream: one header line, then "FRAME\n" and the Y, U and V
// planes of every frame that is not left out.
#ifndef ZVK_Y4M_WRITER_H
#define ZVK_Y4M_WRITER_H

#include <stdint.h>

#include "avs/avs_interface.h"
#include "command_line.h"
#include "output/stream_out.h"

// Writes and flushes the stream header; 0, or 4 when the clip's pixel
// format has no Y4M tag (reported, nothing written to standard output).
int write_y4m_header(const AVS_VideoInfo* vi, uint32_t fps_num, uint32_t fps_den);

// Describes what a held frame puts in the stream ("FRAME\n" and its planes,
// rows without the padding between them) as a chunk to write while the
// frame stays held; an empty chunk under --y4m-skip-drop for a frame whose
// zvk_drop_frame is present and non-zero. Returns 0, or 5 after reporting a
// plane the library describes but that cannot be read.
int y4m_frame_chunk(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, run_mode mode,
                    int index, stream_chunk* chunk);

#endif

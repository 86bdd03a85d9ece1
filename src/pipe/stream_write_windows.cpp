// Standard output's writes on Windows: through the C runtime's buffered
// stream, which copies the rows.
#include <errno.h>
#include <stdio.h>
#include <windows.h>

#include "pipe/stream_out.h"
#include "pipe/stream_write.h"

// The C runtime maps a pipe without a reader to EINVAL as often as to
// EPIPE; the system's own code says which it was.
bool is_closed_pipe(int error) {
    DWORD last = GetLastError();
    return error == EPIPE || error == EINVAL || last == ERROR_BROKEN_PIPE || last == ERROR_NO_DATA;
}

void write_stream_chunk(const stream_chunk* chunk) {
    for (int p = 0; p < chunk->count; p++) {
        const byte_rows& rows = chunk->parts[p];
        for (int y = 0; y < rows.count; y++)
            if (fwrite(rows.first + y * rows.pitch, 1, rows.row_size, stream_file()) != rows.row_size)
                keep_output_error(errno);
    }
    // A frame counts as done once its bytes are written: none wait in the
    // buffer for the next one.
    flush_standard_output();
}

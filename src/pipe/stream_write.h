// Between the stream's shared part (stream_out.cpp) and the platform's
// writes (stream_write_posix.cpp, stream_write_windows.cpp).
#ifndef ZVK_STREAM_WRITE_H
#define ZVK_STREAM_WRITE_H

// A write error that means the consumer stopped reading: no error.
bool is_closed_pipe(int error);

// Keeps the first error that lost bytes (standard_output_error).
void keep_output_error(int error);

#endif

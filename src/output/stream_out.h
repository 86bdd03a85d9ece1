// Standard output for the binary streams. The bytes go straight from where
// they lie (frame planes, the audio buffer) to the descriptor, gathered into
// writes of the size that measures fastest (write_size_tuner.h); no copy is
// made on the way.
#ifndef ZVK_STREAM_OUT_H
#define ZVK_STREAM_OUT_H

#include <stddef.h>

// Adds bytes to the stream; they may be written at once or held until the
// next stream_flush, so they must stay valid until then.
void stream_write(const void* data, size_t size);

// Writes everything still held. Call before the memory behind it goes away.
void stream_flush(void);

#endif

// The clock of the progress lines and of the stream's write timing.
#ifndef ZVK_CLOCK_H
#define ZVK_CLOCK_H

// Seconds on a monotonic clock of arbitrary origin: only differences count.
double monotonic_seconds(void);

#endif

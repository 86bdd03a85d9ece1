// The clock and the progress line of the frame loop.
#ifndef ZVK_PROGRESS_H
#define ZVK_PROGRESS_H

// Seconds on a monotonic clock of arbitrary origin: only differences count.
double monotonic_seconds(void);

// "label,done,total,percent,elapsed,estimate" on standard error, flushed.
void write_progress(const char* label, int done, int total, double elapsed, double estimate);

#endif

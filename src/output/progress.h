// The clock and the progress line of the frame loop.
#ifndef ZVK_PROGRESS_H
#define ZVK_PROGRESS_H

// Seconds on a monotonic clock of arbitrary origin: only differences count.
double monotonic_seconds(void);

// Seconds left after done of frames: the pace of the last done / 2 frames
// when the completed-frame timestamps are known (stamps[k] = clock when k
// frames had completed), else the pace of the whole run so far.
double remaining_seconds(const double* stamps, int done, int frames, double now, double start);

// "label,done,total,percent,elapsed,estimate" on standard error, flushed.
void write_progress(const char* label, int done, int total, double elapsed, double estimate);

#endif

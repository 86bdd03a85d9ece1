// What --bench reports of the frames' fetch times: a pure function of the
// times, so a table of them fixes every number.
#ifndef ZVK_BENCH_SUMMARY_H
#define ZVK_BENCH_SUMMARY_H

enum { BENCH_SLOWEST = 5 };

struct bench_summary {
    int frames;
    double min_ms, median_ms, p90_ms, p99_ms, max_ms;
    int slowest[BENCH_SLOWEST];  // frame numbers, slowest first; ties: the earlier frame
    int slowest_count;
};

// fetch_ms[i] is the fetch of frame first_frame + i; scratch holds count
// values and is overwritten. Percentiles interpolate linearly between the
// closest ranks (rank p * (count - 1) of the sorted times); no frames give
// zeros.
bench_summary summarize_fetch_times(const double* fetch_ms, int count, int first_frame, double* scratch);

#endif

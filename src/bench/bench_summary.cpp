#include "bench/bench_summary.h"

#include <stdlib.h>
#include <string.h>

static int compare_doubles(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

static double percentile(const double* sorted, int count, double p) {
    double rank = p * (count - 1);
    int low = (int)rank;
    if (low >= count - 1) return sorted[count - 1];
    return sorted[low] + (sorted[low + 1] - sorted[low]) * (rank - low);
}

// Whether frame i is slower than frame j of the list: by time, then the
// earlier frame first.
static bool slower(const double* fetch_ms, int i, int j) {
    return fetch_ms[i] > fetch_ms[j] || (fetch_ms[i] == fetch_ms[j] && i < j);
}

bench_summary summarize_fetch_times(const double* fetch_ms, int count, int first_frame, double* scratch) {
    bench_summary s = {};
    s.frames = count;
    if (count <= 0) return s;
    memcpy(scratch, fetch_ms, (size_t)count * sizeof *scratch);
    qsort(scratch, (size_t)count, sizeof *scratch, compare_doubles);
    s.min_ms = scratch[0];
    s.max_ms = scratch[count - 1];
    s.median_ms = percentile(scratch, count, 0.5);
    s.p90_ms = percentile(scratch, count, 0.9);
    s.p99_ms = percentile(scratch, count, 0.99);
    // The few slowest by insertion into a short list, in one pass.
    int top[BENCH_SLOWEST];
    int kept = 0;
    for (int i = 0; i < count; i++) {
        int at = kept;
        while (at > 0 && slower(fetch_ms, i, top[at - 1])) at--;
        if (at >= BENCH_SLOWEST) continue;
        if (kept < BENCH_SLOWEST) kept++;
        for (int k = kept - 1; k > at; k--) top[k] = top[k - 1];
        top[at] = i;
    }
    s.slowest_count = kept;
    for (int k = 0; k < kept; k++) s.slowest[k] = first_frame + top[k];
    return s;
}

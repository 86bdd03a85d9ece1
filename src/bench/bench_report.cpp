// --bench: every frame (or the range) fetched and released, nothing else
// written, then one JSON object of what it took: the rate, the fetch times
// (bench/bench_summary.h), memory, CPU and threads. With a CSV path, a row
// per frame; the resident memory in it is sampled at most every 100 ms.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avs/avs_library.h"
#include "bench/bench_summary.h"
#include "clock.h"
#include "exit_status.h"
#include "formats/c_number.h"
#include "formats/json_text.h"
#include "output_claims.h"
#include "pipe/stream_out.h"
#include "platform_usage.h"
#include "process_setup.h"
#include "run/outputs.h"

// Sampling memory costs a system call: not per frame. Counting threads may
// cost a snapshot of the system's threads: never more than a hundredth of
// the run.
static const double sample_interval = 0.1;
static const double thread_count_share = 0.01;

struct bench_state {
    double* fetch_ms;  // one per unit
    int done;
    double start;
    double next_sample;        // the clock from which the next row samples memory
    double next_thread_count;  // and from which a sample counts threads
    int max_threads;
    output_file* csv;  // null without a CSV
    bool csv_lost;
};

// A row that cannot be written ends the CSV (cut back to whole rows) and,
// at the end, the run's success.
static void write_csv(bench_state* bench, const char* path, const char* text, size_t size) {
    if (bench->csv == nullptr || bench->csv_lost) return;
    if (write_output_file(bench->csv, text, size)) return;
    fprintf(stderr, "failed to write the bench CSV: %s: %s\n", path, strerror(errno));
    bench->csv_lost = true;
}

static void sample_usage(bench_state* bench, process_usage* usage) {
    double start = monotonic_seconds();
    bool count_threads = start >= bench->next_thread_count;
    *usage = measure_process_usage(count_threads);
    if (usage->threads > bench->max_threads) bench->max_threads = usage->threads;
    double end = monotonic_seconds();
    bench->next_sample = end + sample_interval;
    if (count_threads) {
        double pause = (end - start) / thread_count_share;
        bench->next_thread_count = end + (pause > sample_interval ? pause : sample_interval);
    }
}

static int bench_prepare(run_job* job) {
    bench_state* bench = (bench_state*)job->state;
    // The times and the summary's scratch; a 32-bit size must not wrap.
    int64_t count = job->units > 0 ? job->units : 1;
    if ((uint64_t)count <= SIZE_MAX / (2 * sizeof(double)))
        bench->fetch_ms = (double*)malloc((size_t)count * 2 * sizeof(double));
    if (bench->fetch_ms == nullptr) {
        fprintf(stderr, "failed to allocate the fetch times of %lld frames\n", (long long)count);
        return STATUS_CANNOT_START;
    }
    if (job->bench_csv_path != nullptr) {
        bench->csv = take_output_file(job->bench_csv_path);
        if (bench->csv == nullptr) {
            fprintf(stderr, "failed to open the bench CSV for writing: %s: %s\n", job->bench_csv_path,
                    strerror(errno));
            return STATUS_OUTPUT_FAILED;
        }
        static const char header[] = "frame,fetch_ms,resident_bytes\n";
        write_csv(bench, job->bench_csv_path, header, sizeof header - 1);
    }
    process_usage usage;
    sample_usage(bench, &usage);
    bench->next_sample = 0;  // the first row has its sample
    bench->start = monotonic_seconds();
    return STATUS_DONE;
}

static int bench_fetch(run_job* job, int64_t n, unit* u) {
    bench_state* bench = (bench_state*)job->state;
    int index = job->first_frame + (int)n;
    double fetch_start = monotonic_seconds();
    u->frame = avs_library->avs_get_frame(job->script->clip, index);
    double fetched = monotonic_seconds();
    if (u->frame == nullptr) {
        job->failure = {"failed to get frame", index, clip_error_suffix(job->script->clip)};
        return STATUS_FRAME_FAILED;
    }
    double ms = (fetched - fetch_start) * 1000.0;
    bench->fetch_ms[n] = ms;
    bench->done = (int)n + 1;
    bool sample = fetched >= bench->next_sample;
    if (bench->csv == nullptr && !sample) return STATUS_DONE;
    char row[96];
    int length = snprintf(row, sizeof row, "%d,", index);
    length += format_c_number(row + length, sizeof row - (size_t)length, 'f', 3, ms);
    if (sample) {
        process_usage usage;
        sample_usage(bench, &usage);
        if (usage.resident_bytes >= 0)
            length += snprintf(row + length, sizeof row - (size_t)length, ",%lld\n",
                               (long long)usage.resident_bytes);
        else
            length += snprintf(row + length, sizeof row - (size_t)length, ",\n");
    } else {
        length += snprintf(row + length, sizeof row - (size_t)length, ",\n");
    }
    write_csv(bench, job->bench_csv_path, row, (size_t)length);
    return STATUS_DONE;
}

static void bench_release(run_job*, unit* u) { avs_library->avs_release_video_frame(u->frame); }

static void append_number(text_buffer* text, const char* key, int decimals, double value) {
    char number[64];
    text_append_text(text, key);
    int length = format_c_number(number, sizeof number, 'f', decimals, value);
    text_append(text, number, (size_t)length);
}

static void print_report(bench_state* bench, const run_job* job, const char* stopped) {
    double wall = monotonic_seconds() - bench->start;
    process_usage usage;
    bench->next_thread_count = 0;  // the last count is always taken
    sample_usage(bench, &usage);
    bench_summary s =
        summarize_fetch_times(bench->fetch_ms, bench->done, job->first_frame, bench->fetch_ms + bench->done);
    text_buffer text = {};
    text_append_text(&text, "{\"frames\": ");
    json_append_int(&text, s.frames);
    append_number(&text, ", \"wall_seconds\": ", 6, wall);
    append_number(&text, ", \"fps\": ", 3, wall > 0 ? s.frames / wall : 0.0);
    append_number(&text, ", \"fetch_ms\": {\"min\": ", 3, s.min_ms);
    append_number(&text, ", \"median\": ", 3, s.median_ms);
    append_number(&text, ", \"p90\": ", 3, s.p90_ms);
    append_number(&text, ", \"p99\": ", 3, s.p99_ms);
    append_number(&text, ", \"max\": ", 3, s.max_ms);
    text_append_text(&text, "}, \"slowest_frames\": [");
    for (int k = 0; k < s.slowest_count; k++) {
        if (k > 0) text_append_text(&text, ", ");
        json_append_int(&text, s.slowest[k]);
    }
    text_append_text(&text, "], \"peak_resident_bytes\": ");
    json_append_int(&text, usage.peak_resident_bytes);
    append_number(&text, ", \"user_cpu_seconds\": ", 3, usage.user_seconds);
    append_number(&text, ", \"system_cpu_seconds\": ", 3, usage.system_seconds);
    text_append_text(&text, ", \"max_threads\": ");
    json_append_int(&text, bench->max_threads);
    append_number(&text, ", \"import_seconds\": ", 6, job->script->import_seconds);
    text_append_text(&text, ", \"stopped\": ");
    if (stopped != nullptr)
        json_append_string(&text, stopped, strlen(stopped));
    else
        text_append_text(&text, "null");
    text_append_text(&text, "}\n");
    // Its own descriptor: the library's prints went to standard error.
    if (!text.failed) fwrite(text.bytes, 1, text.size, stream_file());
    text_free(&text);
    flush_standard_output();
}

static int bench_finish(run_job* job, int status) {
    bench_state* bench = (bench_state*)job->state;
    if (bench->csv != nullptr) {
        bool intact = output_file_intact(bench->csv);
        if (!close_output_file(bench->csv)) {
            fprintf(stderr, "failed to write the bench CSV: %s\n", job->bench_csv_path);
            bench->csv_lost = true;
        } else if (!intact && !bench->csv_lost) {
            fprintf(stderr, "bench CSV is no longer at its path: %s\n", job->bench_csv_path);
            bench->csv_lost = true;
        }
        bench->csv = nullptr;
    }
    if (bench->csv_lost && status == STATUS_DONE) status = STATUS_OUTPUT_FAILED;
    // The frames timed before a stop are still worth their report.
    if (status == STATUS_DONE || status == STATUS_INTERRUPTED)
        print_report(bench, job,
                     status == STATUS_INTERRUPTED ? interruption_name(run_interruption()) : nullptr);
    free(bench->fetch_ms);
    return status;
}

const output_steps bench_output = {
    "zvk_progress",       // progress_label: as in validation
    false,                // streams
    true,                 // guards_stdout: the report is one JSON document
    -1,                   // validation_blank: not set
    sizeof(bench_state),  // state_size
    bench_prepare,        // prepare
    nullptr,              // header: none
    bench_fetch,          // fetch
    bench_release,        // release
    bench_finish,         // finish
};

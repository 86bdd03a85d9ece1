#include "run/unit_loop.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "clock.h"
#include "exit_status.h"
#include "pipe/stream_out.h"
#include "pipe/stream_writer.h"
#include "process_setup.h"
#include "reports/props_dump.h"
#include "run/progress.h"

// The units handed to the stream writer, oldest first: each is released
// once its bytes are out.
struct units_in_flight {
    unit units[STREAM_WRITER_DEPTH];
    int count;
};

// Waits until at most `left` of the units in flight are unwritten, and
// releases the others.
static void settle(const output_steps* output, run_job* job, units_in_flight* flight, int left) {
    if (flight->count <= left) return;
    stream_writer_wait(left);
    int out = flight->count - left;
    for (int i = 0; i < out; i++)
        if (output->release != nullptr) output->release(job, &flight->units[i]);
    for (int i = 0; i < left; i++) flight->units[i] = flight->units[i + out];
    flight->count = left;
}

// The writer's word that a unit's bytes are out: the unit is done.
static void unit_written(void* p) { progress_unit_done((progress*)p); }

// Unit n + 1 is fetched while unit n is written, and handed over before
// unit n is out, so the writer never waits for this thread.
static int fetch_units(const output_steps* output, run_job* job, progress* p) {
    units_in_flight flight = {};
    int status = STATUS_DONE;
    if (output->streams) stream_writer_begin(unit_written, p);
    for (int64_t n = 0; n < job->units; n++) {
        if (run_interruption() != 0) {
            status = STATUS_INTERRUPTED;
            break;
        }
        settle(output, job, &flight, job->overlap);
        // Bytes standard output lost cannot be made good by the next unit.
        status = status_after_output(status, standard_output_error());
        if (status != STATUS_DONE) break;
        unit u = {};
        double fetch_start = monotonic_seconds();
        status = output->fetch(job, n, &u);
        if (status != STATUS_DONE) break;
        status = dump_unit_props(job, n, &u);
        if (status != STATUS_DONE) {
            u.chunk.count = 0;
            settle(output, job, &flight, 0);
            if (output->release != nullptr) output->release(job, &u);
            break;
        }
        if (!output->streams || u.chunk.count == 0) {
            // Nothing of it goes out: it is done after the units before it.
            settle(output, job, &flight, 0);
            if (output->release != nullptr) output->release(job, &u);
            progress_unit_done(p);
            continue;
        }
        if (!stream_writer_hand(&u.chunk, monotonic_seconds() - fetch_start)) {
            flight.units[flight.count++] = u;
            continue;
        }
        // Copied: released now, after the units before it.
        settle(output, job, &flight, 0);
        if (output->release != nullptr) output->release(job, &u);
    }
    settle(output, job, &flight, 0);
    if (output->streams) stream_writer_end();
    return status_after_output(status, standard_output_error());
}

int run_output(const output_steps* output, run_job* job) {
    if (output->state_size > 0) {
        job->state = calloc(1, output->state_size);
        if (job->state == nullptr) return STATUS_CANNOT_START;
    }
    job->overlap = output->streams ? STREAM_WRITER_DEPTH - 1 : 0;
    int status = output->prepare != nullptr ? output->prepare(job) : STATUS_DONE;
    if (status == STATUS_DONE) {
        progress p;
        // Audio counts its steps, a few per minute of sound.
        int total =
            job->unit_seconds > 0.0 ? (int)(job->units < INT_MAX ? job->units : INT_MAX) : job->frame_count;
        progress_start(&p, output->progress_label, total, job->unit_seconds, job->total_seconds);
        if (output->header != nullptr) status = output->header(job);
        // Emptied only once the output has taken the clip: a refused format
        // leaves the file as it was.
        if (status == STATUS_DONE && job->props_path != nullptr) status = open_props_dump(job->props_path);
        if (status == STATUS_DONE) {
            progress_range_begins(&p);
            status = fetch_units(output, job, &p);
        }
        // What was done before a failure or a stop is counted first, then
        // the failure is told.
        progress_finish(&p);
        const unit_failure& failure = job->failure;
        if (status != STATUS_DONE && failure.what != nullptr)
            fprintf(stderr, "%s %lld%s%s\n", failure.what, (long long)failure.at, failure.suffix.separator,
                    failure.suffix.message);
        else if (status == STATUS_OUTPUT_FAILED && standard_output_error() != 0)
            report_standard_output_error();
    }
    status = output->finish(job, close_props_dump(status));
    free(job->state);
    job->state = nullptr;
    return status;
}

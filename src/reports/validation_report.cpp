// The validation report: the clip_info line, the per-frame CSV of identity
// and colour properties, and the closing "rendered=" line.
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "checkpoint_log.h"
#include "exit_status.h"
#include "formats/c_number.h"
#include "formats/pixel_format.h"
#include "output_claims.h"
#include "pipe/stream_out.h"
#include "run/outputs.h"
#include "run/progress.h"

static void print_clip_info(FILE* log, const AVS_VideoInfo* vi) {
    const char* tag = chroma_tag(vi);
    log_checkpoint(log, "render: clip_info");
    int depth = video_bit_depth(vi);
    printf(
        "clip_info,width=%d,height=%d,chroma=%s,bit_depth=%d,frames=%d,fps_num=%u,fps_den=%u,"
        "has_audio=%d,audio_rate=%d,audio_channels=%d,audio_samples=%lld\n",
        vi->width, vi->height, tag != nullptr ? tag : "unknown", depth, vi->num_frames, vi->fps_numerator,
        vi->fps_denominator, vi->audio_samples_per_second != 0 ? 1 : 0, vi->audio_samples_per_second,
        vi->nchannels, (long long)vi->num_audio_samples);
    flush_standard_output();
}

struct validation_report {
    FILE* log;             // the checkpoint log, or null
    const char* csv_path;  // null: no CSV is asked for
    output_file* csv;      // open from open_validation_csv to the end of the report; null: not open
    bool lost;             // a write fell short: nothing more is written
};

static const char csv_header[] =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

// A CSV that lost rows (a full disk) must not pass for a complete report.
static int report_lost_rows(const char* path) {
    end_progress_line();
    fprintf(stderr, "failed to write validation CSV: %s\n", path);
    return STATUS_OUTPUT_FAILED;
}

// Each write reaches the file at once and whole (one write per row), so
// however the run ends, even killed, the CSV holds whole rows only.
static void write_csv_text(validation_report* report, const char* text, size_t size) {
    if (!report->lost && !write_output_file(report->csv, text, size)) report->lost = true;
}

static void close_csv(validation_report* report) {
    if (report->csv != nullptr && !close_output_file(report->csv)) report->lost = true;
    report->csv = nullptr;
}

static int open_validation_csv(validation_report* report) {
    log_checkpoint(report->log, "render: open validation csv");
    output_file* csv = take_output_file(report->csv_path);
    if (csv == nullptr) {
        fprintf(stderr, "failed to open validation CSV for writing: %s\n", report->csv_path);
        return STATUS_OUTPUT_FAILED;
    }
    report->csv = csv;
    write_csv_text(report, csv_header, sizeof csv_header - 1);
    if (report->lost) {
        close_csv(report);
        return report_lost_rows(report->csv_path);
    }
    return STATUS_DONE;
}

// The integer columns in row order, and whether an absent one prints 0.
static const struct {
    const char* key;
    bool zero_when_absent;
} int_columns[] = {
    {"zvk_source_id", false}, {"zvk_source_frame", false}, {"zvk_drop_frame", true}, {"_Matrix", false},
    {"_Primaries", true},     {"_Transfer", true},         {"_ColorRange", true},
};
enum { INT_COLUMNS = sizeof int_columns / sizeof int_columns[0] };

static int write_validation_row(validation_report* report, AVS_ScriptEnvironment* environment,
                                const AVS_VideoFrame* frame, int index) {
    int64_t values[INT_COLUMNS];
    int results[INT_COLUMNS + 1];
    for (int i = 0; i < INT_COLUMNS; i++) {
        values[i] = 0;
        results[i] = read_int_frame_prop(environment, frame, int_columns[i].key, &values[i]);
    }
    double stretch = 0.0;
    results[INT_COLUMNS] = read_float_frame_prop(environment, frame, "zvk_absolute_timestretch", &stretch);
    for (int result : results)
        if (result < 0) return STATUS_PROPERTY_FAILED;

    // At most 11 + 7 x 21 + 1 + 25 + 1 bytes.
    char row[256];
    int n = snprintf(row, sizeof row, "%d", index);
    for (int i = 0; i < INT_COLUMNS; i++) {
        if (results[i] == FRAME_PROP_PRESENT || int_columns[i].zero_when_absent)
            n += snprintf(row + n, sizeof row - (size_t)n, ",%lld", (long long)values[i]);
        else
            row[n++] = ',';
    }
    row[n++] = ',';
    if (results[INT_COLUMNS] == FRAME_PROP_PRESENT)
        n += format_c_number(row + n, sizeof row - (size_t)n - 1, 'g', 17, stretch);
    row[n++] = '\n';
    write_csv_text(report, row, (size_t)n);
    return STATUS_DONE;
}

static int finish_validation_report(validation_report* report, int rendered) {
    if (report->csv != nullptr) {
        log_checkpoint(report->log, "render: close validation csv");
        // Deleted, replaced or truncated while the run went on, the report
        // is lost to whoever reads the path.
        bool at_path = output_file_intact(report->csv);
        close_csv(report);
        if (report->lost) return report_lost_rows(report->csv_path);
        if (!at_path) {
            fprintf(stderr, "validation CSV is no longer at its path: %s\n", report->csv_path);
            return STATUS_OUTPUT_FAILED;
        }
    }
    log_checkpoint(report->log, "render: complete");
    printf("rendered=%d\n", rendered);
    flush_standard_output();
    return STATUS_DONE;
}

static void abandon_validation_report(validation_report* report) { close_csv(report); }

// The validation modes: the clip_info line and the CSV before the first
// progress line, a row per frame, the closing line.
static int validation_prepare(run_job* job) {
    validation_report* report = (validation_report*)job->state;
    report->log = job->log;
    report->csv_path = job->csv_path;
    report->csv = nullptr;
    print_clip_info(job->log, job->script->video_info);
    return report->csv_path != nullptr ? open_validation_csv(report) : STATUS_DONE;
}

static bool logs_frame(int index, int first, int last) {
    return index == first || index == last || index % 1000 == 0;
}

// One frame: fetched, its row written, released.
static int validation_fetch(run_job* job, int64_t n, unit* u) {
    validation_report* report = (validation_report*)job->state;
    int index = job->first_frame + (int)n;
    if (logs_frame(index, job->first_frame, job->first_frame + (job->frame_count - 1)))
        log_checkpoint_number(report->log, "render: frame ", index);
    u->frame = avs_library->avs_get_frame(job->script->clip, index);
    if (u->frame == nullptr) {
        job->failure = {"failed to get frame", index, clip_error_suffix(job->script->clip)};
        return STATUS_FRAME_FAILED;
    }
    if (report->csv == nullptr) return STATUS_DONE;
    int status = write_validation_row(report, job->script->environment, u->frame, index);
    if (status == STATUS_PROPERTY_FAILED) {
        avs_library->avs_release_video_frame(u->frame);
        u->frame = nullptr;
        job->failure = {"failed to read zevokit frame properties at frame", index, {"", ""}};
    }
    return status;
}

static void validation_release(run_job*, unit* u) { avs_library->avs_release_video_frame(u->frame); }

// Rows of the frames already rendered reach the file however the run ends.
static int validation_finish(run_job* job, int status) {
    validation_report* report = (validation_report*)job->state;
    if (status != STATUS_DONE) {
        abandon_validation_report(report);
        return status;
    }
    return finish_validation_report(report, job->frame_count);
}

const output_steps validate_output = {
    "zvk_progress",             // progress_label
    false,                      // streams
    false,                      // guards_stdout
    1,                          // validation_blank
    sizeof(validation_report),  // state_size
    validation_prepare,         // prepare
    nullptr,                    // header: none
    validation_fetch,           // fetch
    validation_release,         // release
    validation_finish,          // finish
};

const output_steps validate_real_output = {
    "zvk_progress",             // progress_label
    false,                      // streams
    false,                      // guards_stdout
    0,                          // validation_blank
    sizeof(validation_report),  // state_size
    validation_prepare,         // prepare
    nullptr,                    // header: none
    validation_fetch,           // fetch
    validation_release,         // release
    validation_finish,          // finish
};

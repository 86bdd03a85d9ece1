#include "output/validation_report.h"

#include "avs/frame_props.h"
#include "checkpoint_log.h"
#include "output/pixel_format.h"

void print_clip_info(FILE* log, const AVS_VideoInfo* vi) {
    const char* tag = chroma_tag(vi);
    log_checkpoint(log, "render: clip_info");
    int depth = video_bit_depth(vi);
    printf("clip_info,width=%d,height=%d,chroma=%s,bit_depth=%d,frames=%d,fps_num=%u,fps_den=%u,"
           "has_audio=%d,audio_rate=%d,audio_channels=%d,audio_samples=%lld\n",
           vi->width, vi->height, tag != nullptr ? tag : "unknown", depth, vi->num_frames,
           vi->fps_numerator, vi->fps_denominator, vi->audio_samples_per_second != 0 ? 1 : 0,
           vi->audio_samples_per_second, vi->nchannels, (long long)vi->num_audio_samples);
    fflush(stdout);
}

static const char csv_header[] =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

// A CSV that lost rows (a full disk) must not pass for a complete report.
static int report_lost_rows(const char* path) {
    fprintf(stderr, "failed to write validation CSV: %s\n", path);
    return 11;
}

int open_validation_csv(validation_report* report) {
    log_checkpoint(report->log, "render: open validation csv");
    FILE* csv = fopen(report->csv_path, "wb");
    if (csv == nullptr) {
        fprintf(stderr, "failed to open validation CSV for writing: %s\n", report->csv_path);
        return 11;
    }
    fwrite(csv_header, 1, sizeof csv_header - 1, csv);
    if (fflush(csv) != 0) {
        fclose(csv);
        return report_lost_rows(report->csv_path);
    }
    report->csv = csv;
    return 0;
}

// The integer columns in row order, and whether an absent one prints 0.
static const struct {
    const char* key;
    bool zero_when_absent;
} int_columns[] = {
    {"zvk_source_id", false}, {"zvk_source_frame", false}, {"zvk_drop_frame", true},
    {"_Matrix", false},       {"_Primaries", true},        {"_Transfer", true},
    {"_ColorRange", true},
};
enum { INT_COLUMNS = sizeof int_columns / sizeof int_columns[0] };

int write_validation_row(validation_report* report, AVS_ScriptEnvironment* environment,
                         const AVS_VideoFrame* frame, int index) {
    int64_t values[INT_COLUMNS];
    int results[INT_COLUMNS + 1];
    for (int i = 0; i < INT_COLUMNS; i++) {
        values[i] = 0;
        results[i] = read_int_frame_prop(environment, frame, int_columns[i].key, &values[i]);
    }
    double stretch = 0.0;
    results[INT_COLUMNS] =
        read_float_frame_prop(environment, frame, "zvk_absolute_timestretch", &stretch);
    for (int result : results) {
        if (result < 0) {
            abandon_validation_report(report);
            fprintf(stderr, "failed to read zevokit frame properties at frame %d\n", index);
            return 12;
        }
    }

    FILE* out = report->csv;
    fprintf(out, "%d", index);
    for (int i = 0; i < INT_COLUMNS; i++) {
        if (results[i] == FRAME_PROP_PRESENT || int_columns[i].zero_when_absent)
            fprintf(out, ",%lld", (long long)values[i]);
        else
            fputc(',', out);
    }
    if (results[INT_COLUMNS] == FRAME_PROP_PRESENT)
        fprintf(out, ",%.17g\n", stretch);
    else
        fputs(",\n", out);
    return 0;
}

int finish_validation_report(validation_report* report, int rendered) {
    if (report->csv != nullptr) {
        log_checkpoint(report->log, "render: close validation csv");
        bool lost = ferror(report->csv) != 0;
        if (fclose(report->csv) != 0) lost = true;
        report->csv = nullptr;
        if (lost) return report_lost_rows(report->csv_path);
    }
    log_checkpoint(report->log, "render: complete");
    printf("rendered=%d\n", rendered);
    fflush(stdout);
    return 0;
}

void abandon_validation_report(validation_report* report) {
    if (report->csv != nullptr) fclose(report->csv);
    report->csv = nullptr;
}

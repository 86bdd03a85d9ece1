// The validation report: the clip_info line, the per-frame CSV of identity
// and colour properties, and the closing "rendered=" line.
#ifndef ZVK_VALIDATION_REPORT_H
#define ZVK_VALIDATION_REPORT_H

#include <stdio.h>

#include "avs/avs_interface.h"

struct validation_report {
    FILE* log;             // the checkpoint log, or null
    const char* csv_path;  // null: no CSV is asked for
    FILE* csv;             // open from open_validation_csv to the end of the report
};

void print_clip_info(FILE* log, const AVS_VideoInfo* vi);

// Opens the CSV and writes its header: 0, or 11 (reported).
int open_validation_csv(validation_report* report);

// Reads the frame's eight properties and writes its row. Returns 0, or 12
// after reporting an unreadable property and closing the CSV.
int write_validation_row(validation_report* report, AVS_ScriptEnvironment* environment,
                         const AVS_VideoFrame* frame, int index);

// Closes the CSV and prints the closing line with the frames rendered: 0,
// or 11 when rows of the CSV could not be written (reported, no closing line).
int finish_validation_report(validation_report* report, int rendered);

// A run that ends early (a frame that cannot be fetched, an interruption)
// closes the CSV with the rows written so far, and no closing line.
void abandon_validation_report(validation_report* report);

#endif

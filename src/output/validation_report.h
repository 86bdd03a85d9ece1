// The validation report: the clip_info line, the per-frame CSV of identity
// and colour properties, and the closing "rendered=" line.
#ifndef ZVK_VALIDATION_REPORT_H
#define ZVK_VALIDATION_REPORT_H

#include <stdio.h>

#include "avs/avs_interface.h"

void print_clip_info(FILE* log, const AVS_VideoInfo* vi);

// Opens the CSV and writes its header, or ends the run with status 11.
FILE* open_validation_csv(FILE* log, const char* path);

// Reads the frame's eight properties and writes its row. Returns 0, or 12
// after reporting an unreadable property and closing the CSV (*csv = null).
int write_validation_row(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                         int index, FILE** csv);

// Closes the CSV (if open) and prints the closing line; ends the run with
// status 11 instead when rows of the CSV could not be written.
void finish_validation_report(FILE* log, FILE* csv, const char* csv_path, const AVS_VideoInfo* vi);

#endif

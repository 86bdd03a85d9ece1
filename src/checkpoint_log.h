// The checkpoint log beside a validation CSV: one line per stage reached,
// each flushed at once, so a run that dies leaves its last stage on disk.
// Every writer does nothing when no log is open (a null log).
#ifndef ZVK_CHECKPOINT_LOG_H
#define ZVK_CHECKPOINT_LOG_H

#include <stdio.h>

// "<csv_path>.runner.log", in memory kept for the run; null without memory.
const char* checkpoint_log_path(const char* csv_path);

// Takes the log claimed at log_path (output_claims.h) and writes its first
// four lines. A log that cannot be opened is no error: the result is null
// and the run goes on.
FILE* open_checkpoint_log(const char* log_path, const char* script_path);

void log_checkpoint(FILE* log, const char* text);

// A label followed directly by a decimal number.
void log_checkpoint_number(FILE* log, const char* label, int number);

// A label followed directly by a text.
void log_checkpoint_text(FILE* log, const char* label, const char* text);

// The path of the AviSynth library that was actually loaded.
void log_loaded_dll_path(FILE* log);

void close_checkpoint_log(FILE* log);

#endif

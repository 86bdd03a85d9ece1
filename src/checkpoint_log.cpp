#include "checkpoint_log.h"

#include <stdlib.h>
#include <string.h>

#include "avs/avs_library.h"
#include "output_claims.h"
#include "platform.h"

// Kept for the whole run, as the command line's paths are: a run that
// ends early returns from main with it still named here, not leaked.
static char* kept_log_path = nullptr;

const char* checkpoint_log_path(const char* csv_path) {
    size_t size = strlen(csv_path) + 12;
    char* log_path = (char*)malloc(size);
    if (log_path != nullptr) snprintf(log_path, size, "%s.runner.log", csv_path);
    free(kept_log_path);
    kept_log_path = log_path;
    return log_path;
}

FILE* open_checkpoint_log(const char* log_path, const char* script_path) {
    FILE* log = take_output_stream(log_path);
    if (log == nullptr) return nullptr;
    log_checkpoint(log, "start");
    log_checkpoint(log, "runner: " RUNNER_PLATFORM " " RUNNER_WIDTH);
    // One line whatever the path holds: a line break in it is written as
    // the two characters \n (or \r), so the log still reads line by line.
    for (const char* c = script_path; *c != '\0'; c++) {
        if (*c == '\n' || *c == '\r')
            fputs(*c == '\n' ? "\\n" : "\\r", log);
        else
            fputc(*c, log);
    }
    log_checkpoint(log, "");
    log_checkpoint(log, "load: " AVS_LIBRARY_FILE);
    return log;
}

void log_checkpoint(FILE* log, const char* text) {
    if (log == nullptr) return;
    fprintf(log, "%s\n", text);
    fflush(log);
}

void log_checkpoint_number(FILE* log, const char* label, int number) {
    if (log == nullptr) return;
    fprintf(log, "%s%d\n", label, number);
    fflush(log);
}

void log_checkpoint_text(FILE* log, const char* label, const char* text) {
    if (log == nullptr) return;
    fprintf(log, "%s%s\n", label, text);
    fflush(log);
}

void log_loaded_dll_path(FILE* log) {
    if (log == nullptr) return;
    char path[4096];
    if (avs_loaded_library_path(path, (int)sizeof path) > 0)
        fprintf(log, "dll: %s\n", path);
    else
        fprintf(log, "dll: %s loaded, path unavailable\n", AVS_LIBRARY_FILE);
    fflush(log);
}

void close_checkpoint_log(FILE* log) {
    if (log != nullptr) fclose(log);
}

// Every file a run writes besides standard output and standard error (the
// validation CSV, its checkpoint log, the --timecodes file, and the file of
// any later option) goes through here, so that none can destroy what the
// run reads or another run writes:
//
//   claim_output_file   by the driver, before the library is loaded: the
//                       file is opened without emptying it and refused
//                       (status 2, said on standard error) when it is the
//                       script, the file standard output or standard error
//                       goes to, another file this run claimed, or a file
//                       another run holds; then locked against other runs
//   take_output_file    by its writer, once nothing can refuse the run any
//                       more: the file, emptied
//   write_output_file   whole texts (lines, rows) only: a write that falls
//                       short is cut back, so the file ends on a whole one
//   output_file_intact  whether the file at the path is still this one and
//                       holds everything written (nobody replaced, deleted
//                       or truncated it)
//   close_output_file   at the end of its writing
//
// A file claimed but never taken is left as it was found, and one the
// claim created is removed again (drop_untaken_output_files, called by
// every end of a run).
#ifndef ZVK_OUTPUT_CLAIMS_H
#define ZVK_OUTPUT_CLAIMS_H

#include <stddef.h>
#include <stdio.h>

struct output_file;

// What a path that cannot be opened does to the run.
enum unopened_file {
    UNOPENED_REFUSES,     // status 11, said with the system's reason; an empty path is status 2
    UNOPENED_TOLD_LATER,  // nothing yet: its writer tells it when writing starts (the CSV)
    UNOPENED_IGNORED,     // the run goes on without the file (the checkpoint log)
};

// `what` names the file in messages ("timecodes file"); it and the path
// must live as long as the run. Returns 0 (claimed, or unopened but not
// refused), 2 or 11, each said on standard error.
int claim_output_file(const char* what, const char* path, const char* script_path, unopened_file unopened);

// The claimed file at path, emptied; a path nobody claimed (a harness that
// starts the run past the driver) is opened here. Null when it cannot be
// opened, with errno saying why.
output_file* take_output_file(const char* path);

// The taken file as a buffered stream (the checkpoint log), which then owns
// the file; null when it cannot be opened.
FILE* take_output_stream(const char* path);

// Writes every byte, once; false (errno set) when the file took fewer, and
// it is cut back to the texts before.
bool write_output_file(output_file* file, const char* bytes, size_t size);

bool output_file_intact(const output_file* file);

// False when the close says bytes were lost.
bool close_output_file(output_file* file);

void drop_untaken_output_files(void);

#endif

// The validation CSV is claimed before anything is written: opened without
// emptying it, checked against the files the run reads and writes otherwise,
// and locked against another run on the same path. It is emptied only when
// the report starts, so a refused run destroys nothing.
#ifndef ZVK_CSV_CLAIM_H
#define ZVK_CSV_CLAIM_H

// Returns 0, or 2 after saying on standard error why the path is refused: it
// is the script, the file of standard output or standard error, or another
// run holds it. A path that cannot be opened is no refusal here: opening
// the CSV reports it where it always has.
int claim_validation_csv(const char* csv_path, const char* script_path);

// The claimed file's descriptor, emptied; -1 when it could not be opened.
// A path the run did not claim (a harness that starts past the driver) is
// opened here.
int take_validation_csv(const char* csv_path);

// Closes the taken file; false when the close says bytes were lost.
bool close_validation_csv(void);

// Writes every byte, once; false when the file took fewer (a full disk).
bool write_validation_csv(int fd, const char* bytes, unsigned long size);

// A run that ends before its report started leaves no CSV it created.
void drop_unused_validation_csv(void);

// Whether the file written is still the file at the path: deleted or
// replaced, the report is lost to whoever reads the path.
bool validation_csv_still_at_path(void);

#endif

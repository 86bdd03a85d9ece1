#include "output_claims.h"

#include <errno.h>
#include <string.h>

#include "exit_status.h"
#include "pipe/stream_out.h"
#include "platform_files.h"

struct output_file {
    bool in_use;
    const char* what;
    const char* path;
    int fd;  // -1: could not be opened, for open_error
    int open_error;
    bool created;  // by the claim: removed again if never taken
    bool taken;
    long long whole;  // bytes of whole texts written
};

// A run writes a handful of files at most.
static output_file files[8];

static output_file* free_slot(void) {
    for (output_file& f : files)
        if (!f.in_use) return &f;
    return nullptr;
}

static void release(output_file* file) { *file = {}; }

static bool same_as_descriptor(const file_identity* id, int fd) {
    file_identity other;
    return identity_of_descriptor(fd, &other) && same_identity(id, &other);
}

// Why the run may not write the open file: into text, or false.
static bool collision(const output_file* file, const char* script_path, char* text, size_t size) {
    file_identity id, script;
    if (!identity_of_descriptor(file->fd, &id)) return false;
    const char* clash = nullptr;
    if (identity_of_path(script_path, &script) && same_identity(&id, &script))
        clash = "would overwrite the script";
    else if (same_as_descriptor(&id, fileno(stream_file())))
        clash = "is the file standard output goes to";
    else if (same_as_descriptor(&id, fileno(stderr)))
        clash = "is the file standard error goes to";
    if (clash != nullptr) {
        snprintf(text, size, "%s", clash);
        return true;
    }
    for (const output_file& other : files) {
        if (&other == file || !other.in_use || other.fd < 0 || !same_as_descriptor(&id, other.fd)) continue;
        snprintf(text, size, "would overwrite the %s", other.what);
        return true;
    }
    return false;
}

static int open_claimed(output_file* file) {
    file->fd = open_for_appending(file->path, true);
    file->created = file->fd >= 0;
    if (file->fd < 0 && errno == EEXIST) file->fd = open_for_appending(file->path, false);
    file->open_error = file->fd < 0 ? errno : 0;
    return file->fd;
}

int claim_output_file(const char* what, const char* path, const char* script_path, unopened_file unopened) {
    if (path[0] == '\0' && unopened == UNOPENED_REFUSES) {
        fprintf(stderr, "%s needs a file name, not an empty path\n", what);
        return STATUS_CANNOT_START;
    }
    output_file* file = free_slot();
    if (file == nullptr) return STATUS_CANNOT_START;
    *file = {true, what, path, -1, 0, false, false, 0};
    if (open_claimed(file) < 0) {
        if (unopened == UNOPENED_TOLD_LATER) return STATUS_DONE;
        release(file);
        if (unopened == UNOPENED_IGNORED) return STATUS_DONE;
        fprintf(stderr, "failed to open %s for writing: %s: %s\n", what, path, strerror(errno));
        return STATUS_OUTPUT_FAILED;
    }
    char clash[96];
    bool refused = collision(file, script_path, clash, sizeof clash);
    if (!refused && !lock_against_other_runs(file->fd)) {
        snprintf(clash, sizeof clash, "is being written by another run");
        refused = true;
    }
    if (!refused) return STATUS_DONE;
    close_descriptor(file->fd);
    if (file->created) remove_path(path);
    release(file);
    fprintf(stderr, "%s %s: %s\n", what, clash, path);
    return STATUS_CANNOT_START;
}

output_file* take_output_file(const char* path) {
    output_file* file = nullptr;
    for (output_file& f : files)
        if (f.in_use && !f.taken && strcmp(f.path, path) == 0) file = &f;
    if (file == nullptr) {
        file = free_slot();
        if (file == nullptr) {
            errno = EMFILE;
            return nullptr;
        }
        *file = {true, "", path, -1, 0, false, false, 0};
        open_claimed(file);
    }
    if (file->fd < 0) {
        int error = file->open_error;
        release(file);
        errno = error;
        return nullptr;
    }
    cut_file(file->fd, 0);
    file->whole = 0;
    file->taken = true;
    return file;
}

FILE* take_output_stream(const char* path) {
    output_file* file = take_output_file(path);
    if (file == nullptr) return nullptr;
    FILE* stream = stream_of_descriptor(file->fd);
    if (stream == nullptr) close_descriptor(file->fd);
    release(file);
    return stream;
}

bool write_output_file(output_file* file, const char* bytes, size_t size) {
    size_t whole = size;
    while (size > 0) {
        long written = write_some(file->fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // A write that takes nothing without saying why: the disk is full.
            int error = written < 0 ? errno : ENOSPC;
            cut_file(file->fd, file->whole);
            errno = error;
            return false;
        }
        bytes += written;
        size -= (size_t)written;
    }
    file->whole += (long long)whole;
    return true;
}

bool output_file_intact(const output_file* file) {
    file_identity open_file, at_path;
    // Nothing to lose in a device or a pipe: only a file on disk has a size.
    long long size = size_of_descriptor(file->fd);
    if (size < 0 || !identity_of_descriptor(file->fd, &open_file)) return true;
    return identity_of_path(file->path, &at_path) && same_identity(&open_file, &at_path) &&
           size == file->whole;
}

bool close_output_file(output_file* file) {
    bool closed = file->fd < 0 || close_descriptor(file->fd);
    release(file);
    return closed;
}

void drop_untaken_output_files(void) {
    for (output_file& f : files) {
        if (!f.in_use || f.taken) continue;
        if (f.fd >= 0) close_descriptor(f.fd);
        if (f.created) remove_path(f.path);
        release(&f);
    }
}

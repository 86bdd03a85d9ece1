// Runs the real runner binary as a separate process against one variant of
// the stand-in library, and collects everything it leaves behind.
#ifndef ZVK_E2E_RUNNER_PROCESS_H
#define ZVK_E2E_RUNNER_PROCESS_H

#include <stddef.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Where the runner and the stand-in are, from the driver's command line.
struct e2e_config {
    std::string runner;
    std::vector<std::string> launcher;  // placed before the runner, e.g. {"wine"}
    std::string standin_dir;
    std::string platform;      // "linux", "windows" or "macos": the runner's, not the driver's
    std::string width;         // "64-bit" or "32-bit"
    std::string library_file;  // the library's name in messages and checkpoints
    std::string examples_dir;  // the repository's examples/, when given
};
extern e2e_config e2e;

enum stdout_mode {
    STDOUT_CAPTURE,      // read to the end
    STDOUT_CLOSE_AFTER,  // read close_after bytes, then close the pipe
    STDOUT_CLOSED,       // the runner starts with standard output closed
    STDOUT_FULL,         // standard output is /dev/full
    STDOUT_FILE,         // standard output is out_path, created or emptied
    STDOUT_READ_ONLY,    // standard output is out_path opened for reading only
};

struct run_request {
    std::vector<std::string> args;  // after the program name
    std::string variant = "complete";
    std::string library_dir;       // where the library is, instead of the variant's directory
    std::string runner;            // another copy of the runner to run
    std::vector<std::string> env;  // extra NAME=VALUE settings
    stdout_mode out_mode = STDOUT_CAPTURE;
    size_t close_after = 0;
    std::string out_path;  // for STDOUT_FILE and STDOUT_READ_ONLY
    int timeout_seconds = 120;
    size_t max_output = 256u << 20;  // more is a runaway stream: the run is killed
    std::string trace_path;          // empty: no trace
    size_t memory_limit = 0;         // bytes of address space for the runner; 0: no limit
    size_t file_size_limit = 0;      // largest file the runner may write (a full disk); 0: no limit
    bool unprivileged = false;       // when the suite runs as root, run the runner as nobody
    // A slow consumer: read at most this many bytes of standard output at a
    // time, pausing after each read. 0: read as fast as possible.
    size_t read_chunk = 0;
    int read_pause_ms = 0;
    // Something done once, while the runner runs, as soon as what it has
    // written so far satisfies `when`: a signal sent, a file created.
    std::function<bool(const std::string& out, const std::string& err)> when;
    int signal_to_send = 0;
    int second_signal_after_ms = 0;  // then the same signal again, this much later
    std::string file_to_create;
    // Standard error a pseudo-terminal (raw: bytes pass as written) instead
    // of a pipe, as when a person watches the run.
    bool stderr_terminal = false;
    int terminal_columns = 0;  // its width; 0: the system's default (unknown)
    // The size to give the standard output pipe before the run (Linux); 0:
    // the system's default.
    int pipe_size = 0;
};

struct run_result {
    int status = -1;  // exit status; -1 when ended by a signal or timeout
    int signal = 0;
    bool timed_out = false;
    bool runaway = false;  // standard output passed max_output
    bool acted = false;    // `when` held while the runner ran, and the action was taken
    int pipe_size = 0;     // the standard output pipe's size at its end (Linux); 0: not known
    std::string out;
    std::string err;
    std::vector<std::string> trace;
    // When each read of standard output and standard error returned (seconds
    // since the start), with the bytes read up to then.
    std::vector<std::pair<double, size_t>> out_arrivals;
    std::vector<std::pair<double, size_t>> err_arrivals;
};

run_result run_process(const run_request& request);

std::vector<std::string> read_lines(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

#endif

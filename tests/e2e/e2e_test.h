// The fixture of every end-to-end test: a scratch directory for clip
// descriptions and outputs, and helpers to run the runner and read the
// stand-in's call trace.
#ifndef ZVK_E2E_TEST_H
#define ZVK_E2E_TEST_H

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "runner_process.h"

extern const char* const usage_text;

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in the scratch directory.
    std::string path(const std::string& name) const { return dir + "/" + name; }
    // Writes a clip description and returns its path.
    std::string script(const std::string& description, const std::string& name = "clip.avs");
    // Runs the runner with a trace; extra settings from request.
    run_result run(const std::vector<std::string>& args, run_request request = run_request());

    std::string dir;
};

// A path of the scratch or build tree as the runner's platform writes it
// (Z:\... under Wine).
std::string native_path(const std::string& path);

// Text quoted for a POSIX shell.
std::string shell_quote(const std::string& text);

// The start of a shell command line that runs the runner with a variant of
// the stand-in (or the library in library_dir), under the launcher.
std::string runner_command(const std::string& variant = "complete", const std::string& library_dir = "");

// Runs a shell command; returns its standard output, its exit status in
// *status.
std::string shell_output(const std::string& command, int* status);

// Whether a program is on PATH; without it, says so on a "SKIPPED:" line
// naming its Debian package (a consumer .ci/packages calls optional).
bool installed(const std::string& program, const std::string& package);

// Item i of v, counted from the end when negative; a test failure and an
// empty item when there is none, so a short output fails a test instead of
// the suite.
template <typename T>
T item(const std::vector<T>& v, long i) {
    long n = (long)v.size();
    long at = i < 0 ? n + i : i;
    if (at < 0 || at >= n) {
        ADD_FAILURE() << "no item " << i << " among " << n;
        return T();
    }
    return v[(size_t)at];
}

// Up to n items of v from item first (negative: from the end).
template <typename T>
std::vector<T> slice(const std::vector<T>& v, long first, size_t n) {
    long size = (long)v.size();
    long at = first < 0 ? std::max(0L, size + first) : std::min(first, size);
    return std::vector<T>(v.begin() + at, v.begin() + std::min(size, at + (long)n));
}

// Trace lines that start with the prefix.
std::vector<std::string> trace_with(const std::vector<std::string>& trace, const std::string& prefix);
bool trace_has(const std::vector<std::string>& trace, const std::string& line);
// The numbers of the frames fetched successfully, in trace order.
std::vector<int> fetched_frames(const std::vector<std::string>& trace);
// The most frames held at once, from the "held=" counts.
int most_frames_held(const std::vector<std::string>& trace);
// The trace after the clip was taken never deletes the environment, and
// nothing unexpected was called.
void expect_clip_kept(const run_result& r);

// Reads the options every suite takes (--runner, --launcher, --platform,
// --examples) into e2e and hands any other to more, which answers whether it
// knew it; false after naming an unknown one.
bool read_suite_options(int argc, char** argv, const std::function<bool(const std::string&)>& more);
// Runs every test, each in a scratch directory of its own; those of failed
// tests are kept and named.
int run_suite();

#endif

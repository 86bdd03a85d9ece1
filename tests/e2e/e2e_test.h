// The fixture of every end-to-end test: a scratch directory for clip
// descriptions and outputs, and helpers to run the runner and read the
// stand-in's call trace.
#ifndef ZVK_E2E_TEST_H
#define ZVK_E2E_TEST_H

#include <gtest/gtest.h>

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

#endif

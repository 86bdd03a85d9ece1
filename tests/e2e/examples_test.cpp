// The examples that run on the stand-in library must print exactly what
// their headers say (example_check.h describes the header).
#include "e2e_test.h"
#include "example_check.h"

namespace {

class Examples : public ExampleTest {};

TEST_F(Examples, StandinExamplesPrintWhatTheySay) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "no --examples directory given";
    std::vector<std::string> paths = examples("standin");
    ASSERT_GE(paths.size(), 5u);
    for (const std::string& p : paths) check_example(p);
}

// Examples for a real AviSynth+ run in the real group; here they must still
// say what they need, how to run them and what they print.
TEST_F(Examples, RealAvisynthExamplesAreComplete) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "no --examples directory given";
    std::vector<std::string> paths = examples("avisynth");
    ASSERT_GE(paths.size(), 3u);
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        std::string text = read_file(p);
        EXPECT_NE(text.find("\n# Needs: a real AviSynth+"), std::string::npos);
        std::vector<example_command> commands = read_example(p);
        EXPECT_FALSE(commands.empty());
        for (const example_command& e : commands) EXPECT_FALSE(e.output.empty());
    }
}

}  // namespace

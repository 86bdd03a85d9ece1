// The examples state their commands and what they print in a header of
// comment lines; a suite runs each command and compares.
//
//   # Run: zvk_avs_runner ARGS [| COMMAND]  (a path under examples/ is the repository's;
//                                        another file argument lands in a scratch directory;
//                                        COMMAND reads standard output, in a shell)
//   # Status: N                          (0 when not given)
//   # Output:  or  # Prints:             then "#   LINE" lines: standard output (of
//                                        COMMAND when there is one), exactly
//   # Output starts:     then lines: the start of standard output
//   # Output bytes: N
//   # Errors:            then lines: the diagnostics on standard error
//   # File NAME starts:  then lines: the first lines of a file the run wrote
// Each Run line starts a command of its own; the lines after it belong to it.
#ifndef ZVK_E2E_EXAMPLE_CHECK_H
#define ZVK_E2E_EXAMPLE_CHECK_H

#include <string>
#include <vector>

#include "e2e_test.h"

struct example_command {
    std::vector<std::string> args;
    std::string pipe;
    int status = 0;
    std::vector<std::string> output;
    bool output_exact = false;
    long output_bytes = -1;
    std::vector<std::string> errors;
    bool has_errors = false;
    std::string file;
    std::vector<std::string> file_starts;
};

std::vector<example_command> read_example(const std::string& path);

class ExampleTest : public RunnerTest {
protected:
    // The .avs files of examples/KIND, sorted.
    std::vector<std::string> examples(const std::string& kind);
    // Runs every command of the example and checks what it states.
    void check_example(const std::string& path, const run_request& request = run_request());
};

#endif

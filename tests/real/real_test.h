// The real group: the runner against a real AviSynth+ library, with scripts
// in AviSynth's own language.
#ifndef ZVK_REAL_TEST_H
#define ZVK_REAL_TEST_H

#include <string>
#include <vector>

#include "e2e_test.h"
#include "example_check.h"

// The directory of the real library (--library=DIR).
extern std::string real_library_dir;
// The AviSynth+ headers (--avisynth-include=DIR), and the real-media group's
// ffms2 plugin directory (--ffms2=DIR; empty in the real group).
extern std::string avisynth_include_dir;
extern std::string ffms2_dir;

class RealTest : public ExampleTest {
protected:
    // A request that finds the real library.
    static run_request real();
    // Runs the runner on an AviSynth script; "@" among the arguments stands
    // for the script's path, "@csv" for frames.csv in the scratch directory.
    run_result run_avs(std::vector<std::string> args, const std::string& avs, run_request request = real());
    // A command's standard output, run in a shell in the scratch directory;
    // the command must succeed.
    std::string shell(const std::string& command);
};

#endif

// The end-to-end suite: --runner=PATH [--launcher="CMD ..."] --standin=DIR
// [--platform=OS-WIDTH, e.g. windows-32, when the runner is not built for the
// machine the suite runs on], then any GoogleTest options.
#include "e2e_test.h"

const char* const usage_text =
    "usage: zvk_avs_runner --validate script.avs [frames.csv]\n"
    "       zvk_avs_runner --validate-real script.avs [frames.csv]\n"
    "       zvk_avs_runner --check-source expected_source_id script.avs\n"
    "       zvk_avs_runner --y4m script.avs\n"
    "       zvk_avs_runner --y4m-skip-drop fps_num fps_den script.avs\n"
    "       zvk_avs_runner --wav script.avs\n";

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    bool read = read_suite_options(argc, argv, [](const std::string& a) {
        if (a.compare(0, 10, "--standin=") != 0) return false;
        e2e.standin_dir = a.substr(10);
        return true;
    });
    if (!read || e2e.runner.empty() || e2e.standin_dir.empty()) {
        fprintf(stderr,
                "usage: zvk_e2e_tests --runner=PATH [--launcher=CMD] --standin=DIR [--platform=OS-WIDTH]\n");
        return 2;
    }
    return run_suite();
}

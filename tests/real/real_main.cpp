// The real groups: --runner=PATH [--launcher="CMD ..."] --library=DIR
// --examples=DIR [--platform=OS-WIDTH], then any GoogleTest options. DIR
// holds a real AviSynth+ library (tests/real/build-avisynth builds one);
// --avisynth-include=DIR its headers (tests/real/avisynth-headers). The
// real-media group takes --ffms2=DIR (tests/real/build-ffms2) as well.
#include <string.h>

#include "expected_output.h"
#include "real_test.h"

std::string real_library_dir;
std::string ffms2_dir;
std::string avisynth_include_dir;

run_request RealTest::real() {
    run_request request;
    request.library_dir = real_library_dir;
    return request;
}

run_result RealTest::run_avs(std::vector<std::string> args, const std::string& avs, run_request request) {
    std::string clip = script(avs);
    for (std::string& a : args) {
        if (a == "@") a = clip;
        if (a == "@csv") a = path("frames.csv");
    }
    return run(args, request);
}

std::string RealTest::shell(const std::string& command) {
    int status;
    std::string out = shell_output("cd '" + dir + "' && " + command, &status);
    EXPECT_EQ(status, 0) << command;
    return out;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    bool read = read_suite_options(argc, argv, [](const std::string& a) {
        const struct {
            const char* name;
            std::string* value;
        } options[] = {{"--library=", &real_library_dir},
                       {"--ffms2=", &ffms2_dir},
                       {"--avisynth-include=", &avisynth_include_dir}};
        for (const auto& o : options) {
            size_t n = strlen(o.name);
            if (a.compare(0, n, o.name) != 0) continue;
            *o.value = a.substr(n);
            return true;
        }
        return false;
    });
    if (!read || e2e.runner.empty() || real_library_dir.empty() || avisynth_include_dir.empty() ||
        e2e.examples_dir.empty()) {
        fprintf(stderr,
                "usage: zvk_real_tests --runner=PATH [--launcher=CMD] --library=DIR --examples=DIR "
                "--avisynth-include=DIR [--platform=OS-WIDTH] [--ffms2=DIR]\n");
        return 2;
    }
    return run_suite();
}

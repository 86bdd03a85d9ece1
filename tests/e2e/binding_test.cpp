// Binding the library: what a missing library or a missing name does, and
// which missing names are tolerated.
#include "e2e_test.h"

namespace {

class Binding : public RunnerTest {};

// The message names the platform's library file and the runner's width; on
// Linux a second line tells what the loader answered (Windows users have the
// loader's documented search order instead).
void expect_binding_message(const std::string& err, const std::string& loader_line) {
    std::string message = "failed to load " + e2e.library_file + ". Install " + e2e.width +
                          " AviSynth+ and make sure " + e2e.library_file + " can be found.\n";
    if (e2e.platform == "linux") message += loader_line + "\n";
    EXPECT_EQ(err, message);
}

const std::string tried =
    "tried libavisynth.so, libavisynth.so.12, libavisynth.so.11, libavisynth.so.10, libavisynth.so.9, "
    "libavisynth.so.8; the loader answered: ";

TEST_F(Binding, MissingLibraryFailsWithStatus2) {
    std::string clip = script("frames = 1\n");
    run_request request;
    request.variant = "no_such_variant";
    run_result r = run({"--check-source", "0", clip}, request);
    EXPECT_EQ(r.status, 2);
    expect_binding_message(
        r.err, tried + "libavisynth.so: cannot open shared object file: No such file or directory");
    EXPECT_EQ(r.out, "");
}

TEST_F(Binding, FileThatIsNoLibraryFailsWithTheLoadersAnswer) {
    if (e2e.platform != "linux") GTEST_SKIP() << "the loader's answer is Linux's";
    write_file(path("libavisynth.so"), "not a shared object\n");
    run_request request;
    request.library_dir = dir;
    run_result r = run({"--y4m", script("frames = 1\n")}, request);
    EXPECT_EQ(r.status, 2);
    expect_binding_message(r.err, tried + path("libavisynth.so") + ": file too short");
}

TEST_F(Binding, LibraryLackingARequiredNameIsRefused) {
    std::string clip = script("frames = 1\n");
    run_request request;
    request.variant = "no_write_ptr";
    for (const char* mode : {"--y4m", "--wav"}) {
        run_result r = run({mode, clip}, request);
        EXPECT_EQ(r.status, 2);
        expect_binding_message(r.err, e2e.standin_dir +
                                          "/no_write_ptr/libavisynth.so lacks avs_get_write_ptr_p, "
                                          "which the runner requires");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.trace, std::vector<std::string>{"load"}) << "nothing may be called";
    }
}

TEST_F(Binding, LibraryWithoutOptionalPixelFormatFunctionsBinds) {
    std::string clip = script("frames = 1\nprop zvk_source_id = int 3\n");
    run_request request;
    request.variant = "no_pixel_formats";
    run_result r = run({"--check-source", "3", clip}, request);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "source_id=3\n");
}

// The frame property functions are checked in every mode, right after the
// environment exists, whether the mode reads properties or not.
TEST_F(Binding, MissingFramePropertyFunctionsFailEveryMode) {
    std::string clip = script("frames = 1\naudio_rate = 48000\nsample_type = int16\nchannels = 2\n");
    const std::vector<std::vector<std::string>> runs = {
        {"--validate", clip},
        {"--validate-real", clip},
        {"--check-source", "0", clip},
        {"--y4m", clip},
        {"--y4m-skip-drop", "30", "1", clip},
        {"--wav", clip},
    };
    for (const char* variant : {"no_prop_get_float", "no_frame_props"}) {
        for (const auto& args : runs) {
            run_request request;
            request.variant = variant;
            run_result r = run(args, request);
            EXPECT_EQ(r.status, 2) << variant << " " << args[0];
            EXPECT_EQ(r.err,
                      "loaded AviSynth does not expose the frame property C API required by zevokit\n");
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.trace, (std::vector<std::string>{"load", "create_env 8", "delete_env"}))
                << variant << " " << args[0];
        }
    }
}

}  // namespace

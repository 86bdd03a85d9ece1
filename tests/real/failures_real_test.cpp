// What the real library refuses, in its own words, and finding it under a
// versioned name only.
#include <filesystem>
#include <regex>

#include "expected_output.h"
#include "real_test.h"

namespace {

class RealFailures : public RealTest {};

TEST_F(RealFailures, LibraryAndRunnerRefusals) {
    const std::string no_tag = "unsupported Avisynth pixel format for Y4M output: ";
    struct {
        std::vector<std::string> args;
        std::string avs;
        int status;
        // Without progress lines; "@" stands for the script's path, "{native}"
        // for the same as the library resolves it (Z:\... under Wine).
        std::string err;
    } cases[] = {
        {{"--y4m", "@"}, "BlankClip(", 1, "Script error: syntax error\n(@, line 1, column 0)\n"},
        {{"--y4m", "@"},
         "BlankClip()\nAssert(false, \"no source today\")",
         1,
         "no source today\n(@, line 2)\n"},
        {{"--wav", "@"}, "42", 3, "script did not return a clip\n"},
        {{"--validate", "@"}, "x = BlankClip()", 3, "script did not return a clip\n"},
        {{"--check-source", "1", "@"},
         "Import(\"@.missing\")",
         1,
         "Import: couldn't open \"{native}.missing\"\n(@, line 1)\n"},
        {{"--y4m", "@"}, "BlankClip(pixel_type=\"Y8\")", 4, no_tag + "-536870912\n"},
        {{"--y4m", "@"}, "BlankClip(pixel_type=\"RGB32\")", 4, no_tag + "1342177282\n"},
        {{"--y4m", "@"}, "BlankClip(pixel_type=\"YUV420PS\")", 4, no_tag + "-1610481656\n"},
        {{"--y4m", "@"}, "BlankClip(pixel_type=\"YUY2\")", 4, no_tag + "1610612740\n"},
        {{"--wav", "@"},
         "BlankClip(sample_type=\"8bit\")",
         7,
         "unsupported Avisynth audio sample type for WAV output: 1\n"},
        {{"--wav", "@"}, "BlankClip(audio_rate=0)", 6, "script has no audio\n"},
        // The library keeps at least 64 MB of cache, and the runner says so.
        {{"--memory-max", "1", "--y4m", "@"},
         "BlankClip(pixel_type=\"Y8\")",
         4,
         "--memory-max 1: the library set its frame cache to 64 MB instead\n" + no_tag + "-536870912\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.avs);
        std::string clip = path("clip.avs");
        run_result r = run_avs(c.args, std::regex_replace(c.avs, std::regex("@"), clip) + "\n");
        EXPECT_EQ(r.status, c.status);
        std::string err = std::regex_replace(c.err, std::regex("\\{native\\}"), native_path(clip));
        EXPECT_EQ(diagnostic_lines(r.err), std::regex_replace(err, std::regex("@"), clip));
        EXPECT_EQ(r.out, "");
    }
    run_result missing = run({"--y4m", path("missing.avs")}, real());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Import: couldn't open \"" + native_path(path("missing.avs")) + "\"\n");
    EXPECT_EQ(missing.out, "");
    // The library aborts on a directory: the runner refuses it as it refuses
    // a file it cannot open, in every form.
    std::filesystem::create_directory(path("folder.avs"));
    std::string folder = native_path(path("folder.avs"));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--validate", folder},
                                               {"--validate-real", folder, native_path(path("f.csv"))},
                                               {"--check-source", "0", folder},
                                               {"--y4m", folder},
                                               {"--y4m-skip-drop", "1", "1", folder},
                                               {"--wav", folder},
                                               {"--rf64", folder},
                                               {"--wav-extensible", folder},
                                               {"--info", folder}}) {
        SCOPED_TRACE(args[0]);
        run_result r = run(args, real());
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Import: couldn't open \"" + folder + "\": Is a directory\n");
    }
}

// Only libavisynth.so.N, as a package without its development link leaves
// it: the runner finds it and the log names it.
TEST_F(RealFailures, VersionedNameAlone) {
    if (e2e.platform != "linux") GTEST_SKIP() << "versioned names are Linux's";
    std::filesystem::create_directory(path("lib"));
    std::string versioned;
    for (const auto& entry : std::filesystem::directory_iterator(real_library_dir)) {
        std::string name = entry.path().filename().string();
        if (std::regex_match(name, std::regex("libavisynth\\.so\\.[0-9]+"))) versioned = name;
    }
    ASSERT_FALSE(versioned.empty()) << "no libavisynth.so.N in " << real_library_dir;
    std::filesystem::copy_file(std::filesystem::canonical(real_library_dir + "/" + versioned),
                               path("lib/" + versioned));
    run_request request;
    request.library_dir = path("lib");
    run_result r =
        run_avs({"--validate", "@", "@csv"},
                "BlankClip(length=2, pixel_type=\"YV12\").propSet(\"zvk_source_id\", 5)\n", request);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(item(read_lines(path("frames.csv.runner.log")), 4), "dll: " + path("lib/" + versioned));
    EXPECT_EQ(read_file(path("frames.csv")),
              "output_frame,source_id,source_frame,drop_frame,matrix,primaries,"
              "transfer,color_range,absolute_timestretch\n"
              "0,5,,0,6,0,0,1,\n1,5,,0,6,0,0,1,\n");
}

}  // namespace

// The checkpoint log beside a validation CSV: its lines in order on success,
// where it ends on every kind of failure, and when there is none.
#include "e2e_test.h"
#include "expected_output.h"

#include <algorithm>
#include <filesystem>

namespace {

class CheckpointLog : public RunnerTest {
protected:
    std::string csv() const { return path("frames.csv"); }
    std::vector<std::string> log() const { return read_lines(path("frames.csv.runner.log")); }
    // Lines 1 to 4, the same in every run that has a log.
    std::vector<std::string> opening(const std::string& clip) const {
        return {"start", "runner: " + e2e.platform + " " + e2e.width, clip, "load: " + e2e.library_file};
    }
    // The file that was loaded, as the platform names it.
    std::string dll_line(const std::string& variant = "complete") const {
        std::string file = e2e.platform == "windows" ? "avisynth.dll" : e2e.library_file;
        return "dll: " + native_path(e2e.standin_dir + "/" + variant + "/" + file);
    }
    // Lines 1 to 10 of a run whose clip has the given frame count.
    std::vector<std::string> through_info(const std::string& clip, int frames) const {
        std::vector<std::string> lines = opening(clip);
        lines.insert(lines.end(),
                     {dll_line(), "create: script environment v8", "import: script", "take: clip",
                      "get: video info", "info: frames " + std::to_string(frames)});
        return lines;
    }
    static std::vector<std::string> tail(const std::vector<std::string>& lines, size_t n) {
        return slice(lines, -(long)n, n);
    }
};

TEST_F(CheckpointLog, SuccessfulRunInOrder) {
    std::string clip = script("frames = 3\n");
    run_result r = run({"--validate", clip, csv()});
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> expected = through_info(clip, 3);
    expected.insert(expected.end(),
                    {"render: clip_info", "render: open validation csv", "render: frame 0", "render: frame 2",
                     "render: close validation csv", "render: complete", "exit: 0"});
    EXPECT_EQ(log(), expected);
    std::string text = read_file(path("frames.csv.runner.log"));
    EXPECT_TRUE(!text.empty() && text[text.size() - 1] == '\n');
}

TEST_F(CheckpointLog, FrameLinesAtTheEndsAndEveryThousand) {
    struct {
        int frames;
        std::vector<std::string> lines;
    } cases[] = {
        {1, {"render: frame 0"}},
        {2, {"render: frame 0", "render: frame 1"}},
        {1001, {"render: frame 0", "render: frame 1000"}},
        {2500, {"render: frame 0", "render: frame 1000", "render: frame 2000", "render: frame 2499"}},
        {0, {}},
    };
    for (const auto& c : cases) {
        run_result r =
            run({"--validate", script("width = 2\nheight = 2\nframes = " + std::to_string(c.frames) + "\n"),
                 csv()});
        EXPECT_EQ(r.status, 0);
        std::vector<std::string> frames;
        for (const std::string& line : log())
            if (line.rfind("render: frame ", 0) == 0) frames.push_back(line);
        EXPECT_EQ(frames, c.lines) << c.frames;
        std::vector<std::string> lines = log();
        long open = std::find(lines.begin(), lines.end(), "render: open validation csv") - lines.begin();
        EXPECT_EQ(item(lines, open + 1 + (long)c.lines.size()), "render: close validation csv");
    }
}

TEST_F(CheckpointLog, BindingFailureEndsTheLog) {
    std::string clip = script("frames = 1\n");
    run_request request;
    request.variant = "no_write_ptr";
    run_result r = run({"--validate", clip, csv()}, request);
    EXPECT_EQ(r.status, 2);
    std::vector<std::string> expected = opening(clip);
    expected.push_back("failed: " + e2e.library_file);
    EXPECT_EQ(log(), expected);
}

TEST_F(CheckpointLog, EarlyFailuresEndWithoutAnExitLine) {
    struct {
        const char* name;
        const char* description;
        const char* variant;
        const char* fail;
        std::vector<std::string> last;
        int status;
    } cases[] = {
        {"environment",
         "frames = 1\n",
         "complete",
         "create_env",
         {"create: script environment v8", "failed: script environment"},
         2},
        {"property API",
         "frames = 1\n",
         "no_prop_get_float",
         "",
         {"create: script environment v8", "failed: frame property API unavailable"},
         2},
        {"variable", "frames = 1\n", "complete", "set_var", {"create: script environment v8"}, 2},
        {"import error",
         "result = error\nerror = boom\n",
         "complete",
         "",
         {"import: script", "failed: import"},
         1},
        {"not a clip",
         "result = int\n",
         "complete",
         "",
         {"import: script", "failed: script did not return clip"},
         3},
    };
    for (const auto& c : cases) {
        std::string clip = script(c.description);
        run_request request;
        request.variant = c.variant;
        if (*c.fail != '\0') request.env = {std::string("ZVK_STANDIN_FAIL=") + c.fail};
        run_result r = run({"--validate", clip, csv()}, request);
        EXPECT_EQ(r.status, c.status) << c.name;
        std::vector<std::string> lines = log();
        EXPECT_EQ(tail(lines, c.last.size()), c.last) << c.name;
        // Everything before is the run so far, the dll line included.
        EXPECT_EQ(item(lines, 4), dll_line(c.variant)) << c.name;
        for (const std::string& line : lines) EXPECT_NE(line.rfind("exit: ", 0), 0u) << c.name;
    }
}

TEST_F(CheckpointLog, FailuresAfterTheClipEndWithTheirStatus) {
    // A CSV path that is a directory cannot be opened, while its log can.
    std::string dir_csv = path("frames.csv");
    ASSERT_EQ(system(("mkdir -p " + dir_csv).c_str()), 0);
    run_result r11 = run({"--validate", script("frames = 3\n"), dir_csv});
    EXPECT_EQ(r11.status, 11);
    EXPECT_EQ(tail(log(), 2), (std::vector<std::string>{"render: open validation csv", "exit: 11"}));
    ASSERT_EQ(system(("rmdir " + dir_csv).c_str()), 0);

    run_result r5 = run({"--validate", script("frames = 10\nfail_frame = 5\n"), csv()});
    EXPECT_EQ(r5.status, 5);
    EXPECT_EQ(tail(log(), 2), (std::vector<std::string>{"render: frame 0", "exit: 5"}));

    run_result r12 = run({"--validate", script("frames = 10\nprop _Matrix @5 = error 3\n"), csv()});
    EXPECT_EQ(r12.status, 12);
    EXPECT_EQ(tail(log(), 2), (std::vector<std::string>{"render: frame 0", "exit: 12"}));

    run_result last = run({"--validate", script("frames = 10\nfail_frame = 9\n"), csv()});
    EXPECT_EQ(tail(log(), 3), (std::vector<std::string>{"render: frame 0", "render: frame 9", "exit: 5"}));
}

// Windows reads the path into 260 bytes: 259 characters fit, a path of 260
// or more is cut and reported as unavailable. Elsewhere there is no limit.
TEST_F(CheckpointLog, LibraryPathLength) {
    std::string file = e2e.platform == "windows" ? "avisynth.dll" : e2e.library_file;
    std::string source = e2e.standin_dir + "/complete/" + file;
    for (size_t length : {259u, 260u, 400u}) {
        // The directory that makes the library's native path this long.
        size_t native_extra = native_path("/").size() - 1;
        std::string lib_dir = path("d");
        size_t fixed = native_extra + lib_dir.size() + 1 + file.size();
        while (fixed < length) {
            size_t part = std::min<size_t>(length - fixed, 200);
            if (part == 1) part = 2;  // keeps room for the separator of a next part
            lib_dir += "/" + std::string(part - 1, 'p');
            fixed += part;
        }
        ASSERT_EQ(native_extra + lib_dir.size() + 1 + file.size(), length);
        std::filesystem::create_directories(lib_dir);
        std::filesystem::copy_file(source, lib_dir + "/" + file,
                                   std::filesystem::copy_options::overwrite_existing);

        run_request request;
        request.library_dir = lib_dir;
        run_result r = run({"--validate", script("frames = 1\n"), csv()}, request);
        EXPECT_EQ(r.status, 0) << length;
        std::string expected = "dll: " + native_path(lib_dir + "/" + file);
        if (e2e.platform == "windows" && length >= 260)
            expected = "dll: AviSynth.dll loaded, path unavailable";
        EXPECT_EQ(item(log(), 4), expected) << length;
        std::filesystem::remove_all(path("d"));
    }
}

TEST_F(CheckpointLog, ExistingLogIsReplaced) {
    write_file(path("frames.csv.runner.log"), "old line\nanother\n" + std::string(10000, 'z'));
    std::string clip = script("frames = 1\n");
    run({"--validate", clip, csv()});
    std::vector<std::string> lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(item(lines, 0), "start");
    EXPECT_EQ(item(lines, -1), "exit: 0");
    EXPECT_EQ(lines.size(), 16u);
}

TEST_F(CheckpointLog, CsvInAMissingDirectoryHasNoLog) {
    run_result r = run({"--validate", script("frames = 1\n"), path("nowhere/frames.csv")});
    EXPECT_EQ(r.status, 11);
    EXPECT_FALSE(file_exists(path("nowhere")));
    EXPECT_EQ(r.err, "failed to open validation CSV for writing: " + path("nowhere/frames.csv") + "\n");
}

TEST_F(CheckpointLog, ScriptPathIsWrittenVerbatim) {
    std::string clip = script("frames = 1\n", "my clip  (final) ;v2.avs");
    run_result r = run({"--validate-real", clip, path("out put.csv")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = read_lines(path("out put.csv.runner.log"));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(item(lines, 2), clip);
}

TEST_F(CheckpointLog, OnlyValidationRunsWithACsvHaveALog) {
    std::string clip = script("frames = 1\nprop zvk_source_id = int 0\n");
    run({"--validate", clip});
    run({"--check-source", "0", clip});
    run({"--y4m", clip});
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"clip.avs", "trace.txt"}));
}

}  // namespace

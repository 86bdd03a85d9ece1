// Scripts and CSV files under names outside ASCII: the runner takes its
// arguments whole and opens the CSV, its log and the script by them (on
// Windows through the wide functions and Import's utf8 argument).
#include "e2e_test.h"

#include <filesystem>

namespace {

class WidePaths : public RunnerTest {
protected:
    // Wine turns the argument bytes into UTF-16 by the Unix locale.
    run_result run_utf8(const std::vector<std::string>& args) {
        run_request request;
        request.env = {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"};
        return run(args, request);
    }
};

TEST_F(WidePaths, ValidateAndY4mUnderCyrillicAndJapaneseNames) {
    struct {
        const char* folder;
        const char* script;
        const char* csv;
    } cases[] = {
        {"Видео", "клип.avs", "кадры.csv"},
        {"映像", "テスト.avs", "結果.csv"},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(std::filesystem::u8path(path(c.folder)));
        std::string clip =
            script("frames = 2\nprop zvk_source_id @1 = int 42\n", std::string(c.folder) + "/" + c.script);
        std::string csv = path(std::string(c.folder) + "/" + c.csv);

        run_result r = run_utf8({"--validate", clip, csv});
        EXPECT_EQ(r.status, 0) << c.script << ": " << r.err;
        EXPECT_NE(r.out.find("rendered=2\n"), std::string::npos) << r.out;
        std::vector<std::string> rows = read_lines(csv);
        ASSERT_EQ(rows.size(), 3u) << c.csv;
        EXPECT_EQ(rows[1].substr(0, 3), "0,,") << rows[1];
        EXPECT_EQ(rows[2].substr(0, 5), "1,42,") << rows[2];
        // The log names the script by the bytes it was given.
        EXPECT_EQ(item(read_lines(csv + ".runner.log"), 2), clip);
        // Import is told the name is UTF-8 only where the library would
        // otherwise read it in the ANSI code page.
        if (e2e.platform == "windows")
            EXPECT_TRUE(trace_has(r.trace, "invoke arg utf8=b 1 names[0]=null")) << c.script;
        else
            EXPECT_TRUE(trace_has(r.trace, "invoke Import s " + clip + " array_size=0 names=null"))
                << c.script;

        run_result y = run_utf8({"--y4m", clip});
        EXPECT_EQ(y.status, 0) << c.script << ": " << y.err;
        EXPECT_EQ(y.out.rfind("YUV4MPEG2 ", 0), 0u) << c.script;
    }
}

// Refusals name the path by the bytes given; the script is found to be the
// CSV by its wide name too.
TEST_F(WidePaths, RefusalsNameThePathAsGiven) {
    std::filesystem::create_directories(std::filesystem::u8path(path("Видео")));
    std::string clip = script("frames = 1\n", "Видео/клип.avs");
    struct {
        std::string csv;
        int status;
        std::string message;
    } cases[] = {
        {clip, 2, "validation CSV would overwrite the script: " + clip},
        {path("映像/結果.csv"), 11, "failed to open validation CSV for writing: " + path("映像/結果.csv")},
    };
    for (const auto& c : cases) {
        run_result r = run_utf8({"--validate", clip, c.csv});
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_EQ(r.err, c.message + "\n");
        EXPECT_EQ(read_file(clip), "frames = 1\n");
    }
}

}  // namespace

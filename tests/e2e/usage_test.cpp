// The command line: every refused form prints the usage text, exits 2, writes
// nothing to standard output and never loads the library.
#include "e2e_test.h"
#include "expected_output.h"

namespace {

class Usage : public RunnerTest {
protected:
    void expect_usage(const std::vector<std::string>& args) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, usage_text);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty()) << "the library was loaded";
    }
};

TEST_F(Usage, ArgumentCountsOutsideThreeToFive) {
    expect_usage({});
    expect_usage({"--validate"});
    expect_usage({"--validate", "a.avs", "b.csv", "c", "d"});
    expect_usage({"--y4m-skip-drop", "30", "1", "a.avs", "extra"});
}

TEST_F(Usage, EachOptionWithAWrongCount) {
    expect_usage({"--validate", "a.avs", "b.csv", "c"});
    expect_usage({"--validate-real", "a.avs", "b.csv", "c"});
    expect_usage({"--check-source", "1"});
    expect_usage({"--check-source", "1", "a.avs", "c"});
    expect_usage({"--y4m", "a.avs", "b"});
    expect_usage({"--y4m-skip-drop", "30", "a.avs"});
    expect_usage({"--y4m-skip-drop", "30", "1"});
    expect_usage({"--wav", "a.avs", "b"});
}

TEST_F(Usage, OptionsAreExactAndCaseSensitive) {
    expect_usage({"--VALIDATE", "a.avs"});
    expect_usage({"--Wav", "a.avs"});
    expect_usage({"-validate", "a.avs"});
    expect_usage({"-y4m", "a.avs"});
    expect_usage({"--validate=", "a.avs"});
    expect_usage({"validate", "a.avs"});
}

TEST_F(Usage, ZeroOrDigitlessFrameRateIsRefusedBeforeLoading) {
    std::string clip = script("frames = 1\n");
    for (auto rate : std::vector<std::pair<std::string, std::string>>{
             {"0", "1"}, {"30", "0"}, {"30", "x1"}, {"", "1"}, {"-0", "1"}, {"4294967296", "0"}}) {
        run_result r = run({"--y4m-skip-drop", rate.first, rate.second, clip});
        EXPECT_EQ(r.status, 2) << rate.first << "/" << rate.second;
        EXPECT_EQ(r.err, "Y4M fps numerator and denominator must be positive\n");
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty()) << "the library was loaded";
    }
}

TEST_F(Usage, FrameRateNumbersAreReadLeniently) {
    std::string clip = script("frames = 0\nfps = 25/1\n");
    struct {
        const char* num;
        const char* den;
        const char* header;
    } cases[] = {
        {"-1", "1", "F4294967295:1"},           {"30fps", " 1", "F30:1"},
        {"99999999999", "+7", "F4294967295:7"}, {"-4294967295", "2", "F1:2"},
        {"30000", "1001", "F30000:1001"},
    };
    for (const auto& c : cases) {
        run_result r = run({"--y4m-skip-drop", c.num, c.den, clip});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("YUV4MPEG2 W4 H2 ") + c.header + " Ip A0:0 C420jpeg\n")
            << c.num << "/" << c.den;
    }
}

TEST_F(Usage, SourceIdIsReadLeniently) {
    struct {
        const char* argument;
        const char* property;
        const char* line;
    } cases[] = {
        {"42abc", "42", "source_id=42\n"},
        {"abc", "0", "source_id=0\n"},
        {"", "0", "source_id=0\n"},
        {"  -17", "-17", "source_id=-17\n"},
        {"99999999999999999999", "9223372036854775807", "source_id=9223372036854775807\n"},
        {"-99999999999999999999", "-9223372036854775808", "source_id=-9223372036854775808\n"},
    };
    for (const auto& c : cases) {
        std::string clip = script(std::string("frames = 1\nprop zvk_source_id = int ") + c.property + "\n");
        run_result r = run({"--check-source", c.argument, clip});
        EXPECT_EQ(r.status, 0) << c.argument << "\n" << r.err;
        EXPECT_EQ(r.out, c.line);
    }
}

// Every option the extended usage text lists has a line in the README's
// usage block, a row in its option table and a tagged entry (.TP) in the
// manual page.
TEST_F(Usage, EveryOptionIsDocumented) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "needs --examples";
    std::vector<std::string> options;
    for (std::string line : text_lines(run({"--rf64"}).err)) {
        size_t at = line.find("zvk_avs_runner --");
        if (at != std::string::npos)
            options.push_back(line.substr(at + 15, line.find(' ', at + 15) - at - 15));
    }
    ASSERT_GE(options.size(), 15u);
    std::vector<std::string> readme = read_lines(e2e.examples_dir + "/../README.md");
    std::vector<std::string> manual = read_lines(e2e.examples_dir + "/../doc/zvk_avs_runner.1.in");
    for (const std::string& option : options) {
        SCOPED_TRACE(option);
        bool in_usage = false, in_table = false, tagged = false;
        for (const std::string& line : readme) {
            if (line.rfind("usage: zvk_avs_runner ", 0) == 0 || line.rfind("       zvk_avs_runner ", 0) == 0)
                in_usage |= (line + " ").find("zvk_avs_runner " + option + " ") != std::string::npos;
            std::string cell = line.substr(0, line.find(" | "));
            if (line.rfind("| `", 0) == 0)
                in_table |= cell.find("`" + option + "`") != std::string::npos ||
                            cell.find("`" + option + " ") != std::string::npos;
        }
        std::string roff;
        for (char c : option) roff += c == '-' ? "\\-" : std::string(1, c);
        for (size_t i = 0; i + 1 < manual.size(); i++) {
            if (manual[i] != ".TP" || manual[i + 1].rfind(".B", 0) != 0) continue;
            std::string entry = manual[i + 1].substr(manual[i + 1].find(' ') + 1);
            tagged |= entry.substr(0, entry.find(' ')) == roff;
        }
        EXPECT_TRUE(in_usage) << "not in the README's usage block";
        EXPECT_TRUE(in_table) << "not in the README's option table";
        EXPECT_TRUE(tagged) << "no .TP entry in the manual page";
    }
}

}  // namespace

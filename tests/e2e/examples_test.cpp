// The examples state their command and what it prints in a header of
// comment lines; those that run on the stand-in library are run here and
// must print exactly that.
//
//   # Run: zvk_avs_runner ARGS          (a path under examples/ is the repository's;
//                                        another file argument lands in a scratch directory)
//   # Status: N
//   # Output:            then "#   LINE" lines: standard output, exactly
//   # Output starts:     then lines: the start of standard output
//   # Output bytes: N
//   # Errors:            then lines: the diagnostics on standard error
//   # File NAME starts:  then lines: the first lines of a file the run wrote
#include <filesystem>
#include <sstream>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

struct example {
    std::string path;
    std::vector<std::string> run;
    int status = -1;
    std::vector<std::string> output;
    bool output_exact = false;
    long output_bytes = -1;
    std::vector<std::string> errors;
    bool has_errors = false;
    std::string file;
    std::vector<std::string> file_starts;
};

example read_example(const std::string& path) {
    example e;
    e.path = path;
    std::vector<std::string>* list = nullptr;
    for (const std::string& line : read_lines(path)) {
        if (line.rfind("#   ", 0) == 0 && list != nullptr) {
            list->push_back(line.substr(4));
            continue;
        }
        list = nullptr;
        if (line.rfind("# Run: zvk_avs_runner ", 0) == 0) {
            std::istringstream words(line.substr(22));
            std::string w;
            while (words >> w) e.run.push_back(w);
        } else if (line.rfind("# Status: ", 0) == 0) {
            e.status = atoi(line.c_str() + 10);
        } else if (line == "# Output:" || line == "# Output starts:") {
            e.output_exact = line == "# Output:";
            list = &e.output;
        } else if (line.rfind("# Output bytes: ", 0) == 0) {
            e.output_bytes = atol(line.c_str() + 16);
        } else if (line == "# Errors:") {
            e.has_errors = true;
            list = &e.errors;
        } else if (line.rfind("# File ", 0) == 0 && line.size() > 15 &&
                   line.compare(line.size() - 8, 8, " starts:") == 0) {
            e.file = line.substr(7, line.size() - 15);
            list = &e.file_starts;
        }
    }
    return e;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

class Examples : public RunnerTest {
protected:
    std::vector<std::string> examples(const std::string& kind) {
        std::vector<std::string> paths;
        if (e2e.examples_dir.empty()) return paths;
        for (const auto& entry : std::filesystem::directory_iterator(e2e.examples_dir + "/" + kind))
            if (entry.path().extension() == ".avs") paths.push_back(entry.path().string());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
};

TEST_F(Examples, StandinExamplesPrintWhatTheySay) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "no --examples directory given";
    std::vector<std::string> paths = examples("standin");
    ASSERT_GE(paths.size(), 5u);
    std::string root = std::filesystem::path(e2e.examples_dir).parent_path().string();
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        example e = read_example(p);
        ASSERT_FALSE(e.run.empty()) << "no Run line";
        std::vector<std::string> args;
        for (const std::string& a : e.run) {
            if (a.rfind("examples/", 0) == 0)
                args.push_back(root + "/" + a);
            else if (a.rfind("--", 0) != 0 && a.find('.') != std::string::npos)
                args.push_back(path(a));
            else
                args.push_back(a);
        }
        run_result r = run(args);
        EXPECT_EQ(r.status, e.status);
        if (e.output_exact) {
            EXPECT_EQ(r.out, joined(e.output));
        } else if (!e.output.empty()) {
            // The last line given may be the start of a line, or of binary data.
            std::string start = joined(e.output);
            start.pop_back();
            EXPECT_EQ(r.out.substr(0, start.size()), start);
        }
        if (e.output_bytes >= 0) {
            EXPECT_EQ((long)r.out.size(), e.output_bytes);
        }
        if (e.has_errors) {
            std::string diagnostics;
            for (const std::string& line : text_lines(r.err))
                if (progress_lines(line).empty()) diagnostics += line + "\n";
            EXPECT_EQ(diagnostics, joined(e.errors));
        }
        if (!e.file.empty()) {
            std::string text = read_file(path(e.file));
            EXPECT_EQ(text.substr(0, joined(e.file_starts).size()), joined(e.file_starts));
        }
        std::filesystem::remove(path(e.file.empty() ? "none" : e.file));
    }
}

// Examples for a real AviSynth+ cannot run here; they must still say what
// they need, how to run them and what they print.
TEST_F(Examples, RealAvisynthExamplesAreComplete) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "no --examples directory given";
    std::vector<std::string> paths = examples("avisynth");
    ASSERT_GE(paths.size(), 3u);
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        std::string text = read_file(p);
        EXPECT_NE(text.find("\n# Needs: a real AviSynth+"), std::string::npos);
        example e = read_example(p);
        EXPECT_FALSE(e.run.empty());
        EXPECT_TRUE(!e.output.empty() || text.find("\n# Prints:\n#   ") != std::string::npos);
    }
}

}  // namespace

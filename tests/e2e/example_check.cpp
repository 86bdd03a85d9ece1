#include "example_check.h"

#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "expected_output.h"

std::vector<example_command> read_example(const std::string& path) {
    std::vector<example_command> commands;
    std::vector<std::string>* list = nullptr;
    for (const std::string& line : read_lines(path)) {
        if (line.rfind("#   ", 0) == 0 && list != nullptr) {
            list->push_back(line.substr(4));
            continue;
        }
        list = nullptr;
        if (line.rfind("# Run: zvk_avs_runner ", 0) == 0) {
            commands.emplace_back();
            std::string run = line.substr(22);
            size_t bar = run.find(" | ");
            if (bar != std::string::npos) {
                commands.back().pipe = run.substr(bar + 3);
                run.resize(bar);
            }
            std::istringstream words(run);
            std::string w;
            while (words >> w) commands.back().args.push_back(w);
        }
        if (commands.empty()) continue;
        example_command& e = commands.back();
        if (line.rfind("# Status: ", 0) == 0) {
            e.status = atoi(line.c_str() + 10);
        } else if (line == "# Output:" || line == "# Prints:" || line == "# Output starts:") {
            e.output_exact = line != "# Output starts:";
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
    return commands;
}

static std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

std::vector<std::string> ExampleTest::examples(const std::string& kind) {
    std::vector<std::string> paths;
    if (e2e.examples_dir.empty()) return paths;
    for (const auto& entry : std::filesystem::directory_iterator(e2e.examples_dir + "/" + kind))
        if (entry.path().extension() == ".avs") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

void ExampleTest::check_example(const std::string& example_path, const run_request& request) {
    SCOPED_TRACE(example_path);
    std::vector<example_command> commands = read_example(example_path);
    ASSERT_FALSE(commands.empty()) << "no Run line";
    std::string root = std::filesystem::absolute(e2e.examples_dir).parent_path().string();
    for (const example_command& e : commands) {
        std::vector<std::string> args;
        for (const std::string& a : e.args) {
            if (a.rfind("examples/", 0) == 0)
                args.push_back(root + "/" + a);
            else if (a.rfind("--", 0) != 0 && a.find('.') != std::string::npos)
                args.push_back(path(a));
            else
                args.push_back(a);
        }
        run_result r = run(args, request);
        EXPECT_EQ(r.status, e.status) << r.err;
        std::string out = r.out;
        if (!e.pipe.empty()) {
            write_file(path("piped"), r.out);
            int status;
            out = shell_output("cd '" + dir + "' && (" + e.pipe + ") <piped", &status);
            EXPECT_EQ(status, 0) << e.pipe;
        }
        if (e.output_exact) {
            EXPECT_EQ(out, joined(e.output));
        } else if (!e.output.empty()) {
            // The last line given may be the start of a line, or of binary data.
            std::string start = joined(e.output);
            start.pop_back();
            EXPECT_EQ(out.substr(0, start.size()), start);
        }
        if (e.output_bytes >= 0) {
            EXPECT_EQ((long)out.size(), e.output_bytes);
        }
        if (e.has_errors) {
            EXPECT_EQ(diagnostic_lines(r.err), joined(e.errors));
        }
        if (!e.file.empty()) {
            std::string text = read_file(path(e.file));
            EXPECT_EQ(text.substr(0, joined(e.file_starts).size()), joined(e.file_starts));
            std::filesystem::remove(path(e.file));
        }
    }
}

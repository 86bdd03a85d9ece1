// The README's table and the manual page name every exit status with the
// meaning the program's own list gives it, and no other.
#include <errno.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "exit_status.h"
#include "pipe/stream_out.h"

namespace {

std::map<int, std::string> listed_statuses() {
    std::map<int, std::string> statuses;
#define LISTED(name, value, meaning) statuses[value] = meaning;
    EXIT_STATUSES(LISTED)
#undef LISTED
    return statuses;
}

std::string source_file(const std::string& name) {
    std::ifstream in(std::string(ZVK_SOURCE_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "| N | meaning |" rows of the README's exit status table.
std::map<int, std::string> readme_statuses() {
    std::string readme = source_file("README.md");
    size_t table = readme.find("| status | meaning |");
    std::map<int, std::string> statuses;
    std::istringstream lines(readme.substr(table == std::string::npos ? readme.size() : table));
    std::regex row(R"(\| (\d+) \| (.*) \|)");
    std::smatch m;
    for (std::string line; std::getline(lines, line) && !line.empty();)
        if (std::regex_match(line, m, row)) statuses[std::stoi(m[1])] = m[2];
    return statuses;
}

// ".TP", ".B N", then the text up to the next entry, in the manual's EXIT
// STATUS section, as it reads: font requests and escapes taken out.
std::map<int, std::string> manual_statuses() {
    std::string page = source_file("doc/zvk_avs_runner.1.in");
    size_t start = page.find(".SH EXIT STATUS\n");
    size_t end = page.find("\n.SH ", start + 1);
    std::istringstream lines(start == std::string::npos ? "" : page.substr(start, end - start));
    std::map<int, std::string> statuses;
    int current = -1;
    for (std::string line; std::getline(lines, line);) {
        if (line == ".TP") {
            current = -1;
        } else if (current < 0 && line.rfind(".B ", 0) == 0) {
            current = std::stoi(line.substr(3));
            statuses[current] = "";
        } else if (current >= 0) {
            bool bold = line.rfind(".B ", 0) == 0;
            if (bold) line = "`" + line.substr(3) + "`";
            line = std::regex_replace(line, std::regex(R"(\\fB(.*?)\\fR)"), "`$1`");
            line = std::regex_replace(line, std::regex(R"(\\f[BIR])"), "");
            line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
            std::string& text = statuses[current];
            text += (text.empty() ? "" : " ") + line;
        }
    }
    return statuses;
}

TEST(ExitStatuses, ReadmeAndManualSayWhatTheListSays) {
    std::map<int, std::string> listed = listed_statuses();
    ASSERT_EQ(listed.size(), 16u);
    EXPECT_EQ(readme_statuses(), listed);
    EXPECT_EQ(manual_statuses(), listed);
}

// Lost bytes of standard output fail a run that went well, and only that.
TEST(ExitStatus, LostOutputFailsOnlyARunThatWentWell) {
    struct {
        int status, output_error, expected;
    } rows[] = {
        {STATUS_DONE, 0, STATUS_DONE},
        {STATUS_DONE, ENOSPC, STATUS_OUTPUT_FAILED},
        {STATUS_INTERRUPTED, ENOSPC, STATUS_INTERRUPTED},
        {STATUS_OUTPUT_FAILED, 0, STATUS_OUTPUT_FAILED},
        {STATUS_FRAME_FAILED, EIO, STATUS_FRAME_FAILED},
    };
    for (const auto& r : rows)
        EXPECT_EQ(status_after_output(r.status, r.output_error), r.expected)
            << r.status << " " << r.output_error;
}

}  // namespace

// --progress-bar: progress for a person instead of the machine lines. On a
// terminal, every state after the first goes up one line and rewrites it;
// redirected, plain lines. Messages start on lines of their own, and what
// goes to standard output is the same bytes as without the option.
#include <signal.h>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class ProgressBar : public RunnerTest {};

const std::string rewrite = "\033[A\r\033[K";

// Standard error as lines, each state's rewrite prefix counted and removed.
struct shown_lines {
    std::vector<std::string> lines;
    int rewrites = 0;
};

shown_lines split_shown(const std::string& err) {
    shown_lines shown;
    size_t at = 0;
    while (at < err.size()) {
        size_t end = err.find('\n', at);
        if (end == std::string::npos) end = err.size();
        std::string line = err.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows' text mode
        if (line.rfind(rewrite, 0) == 0) {
            shown.rewrites++;
            line.erase(0, rewrite.size());
        }
        shown.lines.push_back(line);
        at = end + 1;
    }
    return shown;
}

TEST_F(ProgressBar, InPlaceOnATerminalPlainWhenRedirected) {
    // Ten frames at 150 ms: several half-second updates, under five seconds.
    const std::string clip = "width = 64\nheight = 48\nframes = 10\nframe_delay_ms = 150\n";
    struct {
        const char* name;
        std::vector<std::string> form;
        std::string extra;
        bool terminal;
        size_t stop_after_bytes;  // SIGINT once standard output has this many; 0: none
        const char* last_state;   // the start of the last state shown
        const char* message;      // the line after it, or null
    } cases[] = {
        {"y4m on a terminal", {"--y4m"}, "", true, 0, "10/10 frames  100.0%  ", nullptr},
        {"validation redirected", {"--validate"}, "", false, 0, "10/10 frames  100.0%  ", nullptr},
        {"failed fetch on a terminal",
         {"--y4m"},
         "fail_frame = 4\n",
         true,
         0,
         "4/10 frames  40.0%  ",
         "failed to get frame 4"},
        {"stopped on a terminal", {"--y4m"}, "", true, 3 * 4614, "", "interrupted by SIGINT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.terminal && e2e.platform == "windows") continue;  // a Unix terminal means nothing to Wine
        std::vector<std::string> args = {"--progress-bar"};
        args.insert(args.end(), c.form.begin(), c.form.end());
        args.push_back(script(clip + c.extra));
        run_request request;
        request.stderr_terminal = c.terminal;
        if (c.stop_after_bytes > 0) {
            request.signal_to_send = SIGINT;
            request.when = [&](const std::string& out, const std::string&) {
                return out.size() >= c.stop_after_bytes;
            };
        }
        run_result r = run(args, request);
        EXPECT_EQ(r.err.find("zvk_"), std::string::npos) << r.err;
        shown_lines shown = split_shown(r.err);
        std::vector<std::string>& lines = shown.lines;
        ASSERT_GE(lines.size(), 2u) << r.err;
        EXPECT_EQ(lines[0], "0/10 frames  0.0%  -- fps  0:00 elapsed  --:-- left");
        // The last state, rewritten in place on a terminal, then the message.
        size_t last = lines.size() - (c.message != nullptr ? 2 : 1);
        EXPECT_EQ(lines[last].rfind(c.last_state, 0), 0u) << lines[last];
        EXPECT_NE(lines[last].find(" left"), std::string::npos) << lines[last];
        if (c.message != nullptr) {
            EXPECT_EQ(lines.back(), c.message);
        }
        if (c.terminal) {
            // Every state after the first rewrites the one before: one line on screen.
            EXPECT_EQ(shown.rewrites, (int)last);
            EXPECT_GE(shown.rewrites, c.message == nullptr ? 2 : 1) << r.err;
        } else {
            EXPECT_EQ(r.err.find('\033'), std::string::npos);
            EXPECT_EQ(lines.size(), 2u) << "a plain line every five seconds, the first and the last";
        }
        EXPECT_EQ(r.err.back(), '\n');
    }
}

// The option changes standard error alone.
TEST_F(ProgressBar, SameOutputAsWithout) {
    const std::string clip = script("width = 64\nheight = 48\nframes = 5\n");
    for (const char* form : {"--y4m", "--validate"}) {
        SCOPED_TRACE(form);
        run_result plain = run({form, clip});
        run_result bar = run({"--progress-bar", form, clip});
        EXPECT_EQ(bar.status, 0);
        EXPECT_EQ(bar.out, plain.out);
        EXPECT_EQ(split_shown(bar.err).lines.size(), 2u) << bar.err;
    }
}

}  // namespace

// --progress-bar: progress for a person instead of the machine lines. On a
// terminal, every state after the first goes up one line and rewrites it;
// redirected, plain lines. Messages start on lines of their own, and what
// goes to standard output is the same bytes as without the option.
#include <signal.h>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class ProgressBar : public RunnerTest {};

// What a terminal of `columns` shows after these bytes: its logical lines
// (rows that wrapped joined again), and how many rows each took.
struct screen {
    std::vector<std::string> lines;
    std::vector<int> rows;
};

screen screen_of(const std::string& bytes, size_t columns) {
    screen s;
    s.lines.emplace_back();
    s.rows.push_back(1);
    size_t col = 0;
    size_t line = 0;  // the logical line the cursor is on
    for (size_t i = 0; i < bytes.size(); i++) {
        if (bytes.compare(i, 3, "\033[K") == 0) {
            // Clears the row the cursor is on, to its end.
            size_t at = (size_t)(s.rows[line] - 1) * columns + col;
            if (s.lines[line].size() > at) s.lines[line].resize(at);
            i += 2;
        } else if (bytes.compare(i, 3, "\033[A") == 0) {
            if (line > 0) line--;  // these tests' lines are one row when moved up to
            i += 2;
        } else if (bytes[i] == '\r') {
            col = 0;
        } else if (bytes[i] == '\n') {
            col = 0;
            if (++line == s.lines.size()) {
                s.lines.emplace_back();
                s.rows.push_back(1);
            }
        } else {
            if (col == columns) {
                col = 0;
                s.rows[line]++;
            }
            size_t at = (size_t)(s.rows[line] - 1) * columns + col++;
            std::string& text = s.lines[line];
            if (text.size() < at) text.resize(at, ' ');
            if (text.size() == at)
                text += bytes[i];
            else
                text[at] = bytes[i];
        }
    }
    while (!s.lines.empty() && s.lines.back().empty()) {
        s.lines.pop_back();
        s.rows.pop_back();
    }
    return s;
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

TEST_F(ProgressBar, InPlaceOnATerminalPlainWhenRedirected) {
    // Ten frames at 150 ms: several half-second updates, under five seconds.
    const std::string clip = "width = 64\nheight = 48\nframes = 10\nframe_delay_ms = 150\n";
    const std::string first = "0/10 frames  0.0%  -- fps  0:00 elapsed  --:-- left";
    const std::string audio =
        "audio_rate = 48000\nsample_type = int16\nchannels = 2\naudio_samples = 300000\n";
    struct {
        const char* name;
        std::vector<std::string> form;
        std::string extra;
        bool terminal;
        int columns;              // the terminal's; 0: unknown
        size_t stop_after_bytes;  // SIGINT once standard output has this many; 0: none
        std::string first_state;
        const char* last_state;  // the start of the last state shown
        const char* message;     // the line after it, or null
    } cases[] = {
        {"y4m on a terminal", {"--y4m"}, "", true, 0, 0, first, "10/10 frames  100.0%  ", nullptr},
        {"validation redirected", {"--validate"}, "", false, 0, 0, first, "10/10 frames  100.0%  ", nullptr},
        {"failed fetch on a terminal",
         {"--y4m"},
         "fail_frame = 4\n",
         true,
         0,
         0,
         first,
         "4/10 frames  40.0%  ",
         "failed to get frame 4"},
        {"no Y4M tag on a terminal",
         {"--y4m"},
         "pixel_type = 12345\n",
         true,
         0,
         0,
         first,
         "0/10 frames  0.0%  ",
         "unsupported Avisynth pixel format for Y4M output: 12345"},
        {"stopped on a terminal", {"--y4m"}, "", true, 0, 3 * 4614, first, "", "interrupted by SIGINT"},
        // Narrow: the state fits in one row; a library's prints stay.
        {"40 columns",
         {"--y4m"},
         "",
         true,
         40,
         0,
         "0/10 frames  0.0%  -- fps  --:-- left",
         "10/10 frames  100.0%  ",
         nullptr},
        {"40 columns, a library that prints",
         {"--y4m"},
         "stdout_text = plugin says hi\n",
         true,
         40,
         0,
         "0/10 frames  0.0%  -- fps  --:-- left",
         "10/10 frames  100.0%  ",
         nullptr},
        // Audio in seconds of sound.
        {"wav on a terminal",
         {"--wav"},
         audio,
         true,
         0,
         0,
         "0.0/6.2 s  0.0%  --x  0:00 elapsed  --:-- left",
         "6.2/6.2 s  100.0%  ",
         nullptr},
        {"wav redirected",
         {"--wav"},
         audio,
         false,
         0,
         0,
         "0.0/6.2 s  0.0%  --x  0:00 elapsed  --:-- left",
         "6.2/6.2 s  100.0%  ",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.terminal && e2e.platform == "windows") continue;  // a Unix terminal means nothing to Wine
        std::vector<std::string> args = {"--progress-bar"};
        args.insert(args.end(), c.form.begin(), c.form.end());
        args.push_back(script(clip + c.extra));
        run_request request;
        request.stderr_terminal = c.terminal;
        request.terminal_columns = c.columns;
        if (c.stop_after_bytes > 0) {
            request.signal_to_send = SIGINT;
            request.when = [&](const std::string& out, const std::string&) {
                return out.size() >= c.stop_after_bytes;
            };
        }
        run_result r = run(args, request);
        EXPECT_EQ(r.err.find("zvk_"), std::string::npos) << r.err;
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.back(), '\n');
        std::vector<std::string> lines;
        if (c.terminal) {
            // Each state returns to the start of its own line; none moves up.
            EXPECT_EQ(r.err.find("\033[A"), std::string::npos);
            EXPECT_NE(r.err.find(c.first_state), std::string::npos) << r.err;
            screen shown = screen_of(r.err, c.columns > 0 ? (size_t)c.columns : 1000);
            lines = shown.lines;
            // Only the last state stays, in one row; every line the library
            // printed (at the import and at each frame) stays on screen.
            size_t library = c.extra.find("stdout_text") != std::string::npos ? 11 : 0;
            size_t said = 0;
            for (const std::string& line : lines) said += count_of(line, "plugin says hi (");
            EXPECT_EQ(said, library) << r.err;
            ASSERT_EQ(lines.size(), library + (c.message != nullptr ? 2 : 1)) << r.err;
            EXPECT_EQ(shown.rows[lines.size() - (c.message != nullptr ? 2 : 1)], 1);
        } else {
            lines = text_lines(r.err);
            for (std::string& line : lines)
                if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows' text mode
            EXPECT_EQ(r.err.find('\033'), std::string::npos);
            ASSERT_EQ(lines.size(), 2u) << "a plain line every five seconds, the first and the last";
            EXPECT_EQ(lines[0], c.first_state);
        }
        // The last state, then the message.
        size_t last = lines.size() - (c.message != nullptr ? 2 : 1);
        EXPECT_EQ(lines[last].rfind(c.last_state, 0), 0u) << lines[last];
        EXPECT_NE(lines[last].find(" left"), std::string::npos) << lines[last];
        if (c.terminal && lines[last] != c.first_state) {
            EXPECT_GE(count_of(r.err, "\r\033[K"), 1u) << r.err;
        }
        if (c.message != nullptr) {
            EXPECT_EQ(lines.back(), c.message);
        }
    }
}

// The option changes standard error alone; the specified --wav prints
// nothing there without it.
TEST_F(ProgressBar, SameOutputAsWithout) {
    const std::string clip = script(
        "width = 64\nheight = 48\nframes = 5\naudio_rate = 8000\nsample_type = int16\nchannels = 1\n"
        "audio_samples = 8000\n");
    for (const char* form : {"--y4m", "--validate", "--wav"}) {
        SCOPED_TRACE(form);
        run_result plain = run({form, clip});
        run_result bar = run({"--progress-bar", form, clip});
        EXPECT_EQ(bar.status, 0);
        EXPECT_EQ(bar.out, plain.out);
        EXPECT_EQ(text_lines(bar.err).size(), 2u) << bar.err;
        if (std::string(form) == "--wav") {
            EXPECT_EQ(plain.err, "");
        }
    }
}

}  // namespace

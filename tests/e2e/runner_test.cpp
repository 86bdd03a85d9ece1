// The fixture shared by the end-to-end suites: a scratch directory per test,
// running the runner, reading the stand-in's trace, and the options and run
// of a suite's program.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "e2e_test.h"

static std::string scratch_root;

void RunnerTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    dir = scratch_root + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
}

void RunnerTest::TearDown() {
    if (!HasFailure()) std::filesystem::remove_all(dir);
}

std::string RunnerTest::script(const std::string& description, const std::string& name) {
    std::string p = path(name);
    write_file(p, description);
    return p;
}

// A stream in the C runtime's text mode on Windows ends every line in CR LF;
// the tests compare the lines, after checking that no bare LF slipped out.
static void from_text_mode(std::string* text, const char* stream) {
    std::string plain;
    for (size_t i = 0; i < text->size(); i++) {
        char c = (*text)[i];
        if (c == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') continue;
        if (c == '\n') {
            EXPECT_TRUE(i > 0 && (*text)[i - 1] == '\r') << "bare line feed on " << stream << ":\n" << *text;
        }
        plain.push_back(c);
    }
    *text = plain;
}

static bool text_mode_stdout(const std::vector<std::string>& args) {
    // The form after any leading options decides; their values are never
    // the name of a form.
    for (const std::string& option : args) {
        if (option == "--y4m" || option == "--y4m-skip-drop" || option == "--wav" || option == "--rf64" ||
            option == "--wav-extensible" || option == "--mkv" || option == "--mkv-skip-drop" ||
            option == "--raw")
            return false;
        if (option == "--validate" || option == "--validate-real" || option == "--check-source" ||
            option == "--info" || option == "--info-frame0")
            return true;
    }
    return true;
}

// Now and then Wine loses a process's line to its server ("wine client
// error:418: sendmsg: Socket operation on non-socket") or ends it at start
// with status 1 and not a word, which the runner never does. Such a run
// says nothing about the runner: it runs once more.
static bool wine_failed(const run_result& r) {
    return r.err.find("wine client error:") != std::string::npos ||
           (r.status == 1 && r.err.empty() && r.out.empty());
}

// Wine's own lines on standard error: its debug channels ("0024:fixme:...",
// "err:..."), its lost server messages and its notes on the prefix. They say
// nothing about the runner; a crash report ("wine: Unhandled ...") stays.
static bool wine_diagnostic(const std::string& line) {
    static const char* const prefixes[] = {"wine client error:", "wine: created the configuration directory",
                                           "wine: configuration in "};
    for (const char* prefix : prefixes)
        if (line.compare(0, strlen(prefix), prefix) == 0) return true;
    size_t at = line.size() > 5 && line[4] == ':' && strspn(line.c_str(), "0123456789abcdef") == 4 ? 5 : 0;
    static const char* const classes[] = {"fixme:", "err:", "warn:", "trace:"};
    for (const char* c : classes)
        if (line.compare(at, strlen(c), c) == 0) return true;
    return false;
}

static void drop_wine_diagnostics(std::string* err) {
    std::string kept;
    size_t pos = 0;
    while (pos < err->size()) {
        size_t end = err->find('\n', pos);
        end = end == std::string::npos ? err->size() : end + 1;
        std::string line = err->substr(pos, end - pos);
        if (!wine_diagnostic(line)) kept += line;
        pos = end;
    }
    *err = kept;
}

run_result RunnerTest::run(const std::vector<std::string>& args, run_request request) {
    request.args = args;
    if (request.trace_path.empty()) request.trace_path = path("trace.txt");
    run_result r = run_process(request);
    if (e2e.platform == "windows" && wine_failed(r)) {
        fprintf(stderr, "Wine failed to run the runner (%s); once more\n",
                r.err.empty() ? "no word" : r.err.c_str());
        r = run_process(request);
    }
    if (!e2e.launcher.empty()) drop_wine_diagnostics(&r.err);
    if (e2e.platform == "windows") {
        from_text_mode(&r.err, "standard error");
        if (text_mode_stdout(args)) from_text_mode(&r.out, "standard output");
    }
    EXPECT_FALSE(r.timed_out) << "the runner did not end in time";
    EXPECT_FALSE(r.runaway) << "the runner wrote without end";
    // A run asked to stop ends the way the request ends a process: the
    // test that asked checks how.
    bool stopped = request.signal_to_send != 0 && r.acted;
    if (!r.timed_out && r.signal == 0 && !stopped) {
        EXPECT_TRUE(r.status >= 0 && r.status <= 15) << "status " << r.status << " is outside 0 to 15";
    }
    if (!r.runaway && !stopped) {
        EXPECT_EQ(r.signal, 0) << "the runner died of a signal";
    }
    return r;
}

std::string native_path(const std::string& path) {
    if (e2e.platform != "windows") return path;
    std::string native = "Z:" + path;
    for (char& c : native)
        if (c == '/') c = '\\';
    return native;
}

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string runner_command(const std::string& variant, const std::string& library_dir) {
    std::string dir = library_dir.empty() ? e2e.standin_dir + "/" + variant : library_dir;
    std::string command = e2e.platform == "windows" ? "WINEPATH=" + shell_quote(dir) + " WINEDEBUG=-all"
                                                    : "LD_LIBRARY_PATH=" + shell_quote(dir) +
                                                          " DYLD_LIBRARY_PATH=" + shell_quote(dir);
    command += " ZVK_STANDIN_TRACE=";
    for (const std::string& word : e2e.launcher) command += " " + shell_quote(word);
    return command + " " + shell_quote(e2e.runner);
}

bool installed(const std::string& program, const std::string& package) {
    if (system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0) return true;
    printf("SKIPPED: %s is not installed (Debian package %s)\n", program.c_str(), package.c_str());
    return false;
}

std::string shell_output(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) {
        *status = -1;
        return out;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    *status = pclose(p);
    return out;
}

std::vector<std::string> trace_with(const std::vector<std::string>& trace, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : trace)
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    return found;
}

bool trace_has(const std::vector<std::string>& trace, const std::string& line) {
    for (const std::string& l : trace)
        if (l == line) return true;
    return false;
}

std::vector<int> fetched_frames(const std::vector<std::string>& trace) {
    std::vector<int> frames;
    for (const std::string& line : trace_with(trace, "get_frame "))
        if (line.find("failed") == std::string::npos) frames.push_back(atoi(line.c_str() + 10));
    return frames;
}

int most_frames_held(const std::vector<std::string>& trace) {
    int most = 0;
    for (const std::string& line : trace) {
        size_t at = line.find("held=");
        if (at != std::string::npos) most = std::max(most, atoi(line.c_str() + at + 5));
    }
    return most;
}

void expect_clip_kept(const run_result& r) {
    bool taken = false;
    for (const std::string& line : r.trace) {
        if (line.compare(0, 9, "take_clip") == 0) taken = true;
        if (taken) {
            EXPECT_NE(line, "delete_env") << "environment deleted after the clip was taken";
        }
        EXPECT_EQ(line.find("unexpected call"), std::string::npos) << line;
        EXPECT_EQ(line.find("bad-"), std::string::npos) << line;
    }
    EXPECT_TRUE(taken);
}

static std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool read_suite_options(int argc, char** argv, const std::function<bool(const std::string&)>& more) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a.compare(0, 9, "--runner=") == 0) {
            e2e.runner = a.substr(9);
        } else if (a.compare(0, 11, "--launcher=") == 0) {
            e2e.launcher = split_words(a.substr(11));
        } else if (a.compare(0, 11, "--examples=") == 0) {
            e2e.examples_dir = a.substr(11);
        } else if (a.compare(0, 11, "--platform=") == 0) {
            // os-width, e.g. windows-32
            std::string p = a.substr(11);
            e2e.platform = p.substr(0, p.find('-'));
            e2e.width = p.substr(p.find('-') + 1) + "-bit";
        } else if (!more(a)) {
            fprintf(stderr, "unknown argument %s\n", argv[i]);
            return false;
        }
    }
    if (e2e.platform.empty()) {
#if defined(__APPLE__)
        e2e.platform = "macos";
#else
        e2e.platform = "linux";
#endif
        e2e.width = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    }
    e2e.library_file = e2e.platform == "windows" ? "AviSynth.dll"
                       : e2e.platform == "macos" ? "libavisynth.dylib"
                                                 : "libavisynth.so";
    return true;
}

int run_suite() {
    char pattern[] = "/tmp/zvk_e2e.XXXXXX";
    const char* root = mkdtemp(pattern);
    if (root == nullptr) return 2;
    scratch_root = root;
    int status = RUN_ALL_TESTS();
    if (status == 0) {
        std::filesystem::remove_all(scratch_root);
    } else {
        fprintf(stderr, "scratch files of failed tests kept in %s\n", scratch_root.c_str());
    }
    return status;
}

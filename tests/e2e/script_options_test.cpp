// Leading options that shape the run before the import: script arguments
// (--arg), the library's frame cache (--memory-max), and the library file
// itself (--library).
#include <dlfcn.h>

#include <filesystem>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class ScriptOptions : public RunnerTest {
protected:
    // Refused before anything is loaded, with one line of reason.
    void expect_refused(const std::vector<std::string>& args, const std::string& err) {
        SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
        run_result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty()) << "the library was loaded";
    }
    // Where the first trace line that starts with the prefix is; -1: none.
    static long at(const run_result& r, const std::string& prefix) {
        for (size_t i = 0; i < r.trace.size(); i++)
            if (r.trace[i].compare(0, prefix.size(), prefix) == 0) return (long)i;
        return -1;
    }
};

// The values reach the script as strings under names the library keeps
// (saved through the library), set before the import.
TEST_F(ScriptOptions, ArgumentsReachTheScript) {
    std::string clip = script("width = $w\nheight = $h\n");
    run_result r = run({"--arg", "w=16", "--arg", "h=8", "--frames", "0", "0", "--y4m", clip});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "YUV4MPEG2 W16 H8 F25:1 Ip A0:0 C420jpeg");
    EXPECT_TRUE(trace_has(r.trace, "set_var w s 16 saved"));
    EXPECT_TRUE(trace_has(r.trace, "set_var h s 8 saved"));
    EXPECT_LT(at(r, "set_var h"), at(r, "invoke Import"));

    // Everything after the first '=' is the value, an empty one included.
    run_result odd = run({"--arg", "_x1=a=b c", "--arg", "E=", "--info", script("frames = 1\n", "odd.avs")});
    EXPECT_EQ(odd.status, 0) << odd.err;
    EXPECT_TRUE(trace_has(odd.trace, "set_var _x1 s a=b c saved"));
    EXPECT_TRUE(trace_has(odd.trace, "set_var E s  saved"));
}

TEST_F(ScriptOptions, Refusals) {
    const std::string clip = "clip.avs";
    const std::string name_rule = "\" is not a variable name (a letter or _, then letters, digits or _)\n";
    expect_refused({"--arg", "width", "--y4m", clip}, "--arg needs name=value, not \"width\"\n");
    expect_refused({"--arg", "=16", "--y4m", clip}, "--arg =16: \"" + name_rule);
    expect_refused({"--arg", "9w=16", "--y4m", clip}, "--arg 9w=16: \"9w" + name_rule);
    expect_refused({"--arg", "a-b=1", "--info", clip}, "--arg a-b=1: \"a-b" + name_rule);
    expect_refused({"--arg", "w=1", "--arg", "W=2", "--y4m", clip},
                   "--arg W=2: W is given twice (names ignore case)\n");
    for (const char* size : {"0", "-5", "x", "2147483648", "64MB", ""})
        expect_refused({"--memory-max", size, "--y4m", clip},
                       std::string("--memory-max needs megabytes (1 to 2147483647), not \"") + size + "\"\n");
    // A leading option twice, without its value, or without a form after it.
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--memory-max", "64", "--memory-max", "64", "--y4m", clip},
                                               {"--library", "a.so", "--library", "a.so", "--y4m", clip},
                                               {"--arg"},
                                               {"--arg", "w=1"},
                                               {"--memory-max", "64"},
                                               {"--library", "a.so", "--y4m"},
                                               {"--library", "", "--y4m", clip}}) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty()) << "the library was loaded";
    }
}

// The cap is set once the environment exists, before the import.
TEST_F(ScriptOptions, MemoryMaxBeforeTheImport) {
    run_result r = run({"--memory-max", "256", "--wav",
                        script("audio_rate = 8000\nsample_type = int16\n"
                               "channels = 1\naudio_samples = 10\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> calls = trace_with(r.trace, "set_memory_max");
    EXPECT_EQ(calls, std::vector<std::string>{"set_memory_max 256"});
    EXPECT_LT(at(r, "create_env"), at(r, "set_memory_max"));
    EXPECT_LT(at(r, "set_memory_max"), at(r, "invoke Import"));
    EXPECT_EQ(r.err, "");
    // A value the library bounds is told.
    run_result bounded = run({"--memory-max", "1", "--info", script("frames = 2\n")});
    EXPECT_EQ(bounded.status, 0);
    EXPECT_EQ(bounded.err, "--memory-max 1: the library set its frame cache to 64 MB instead\n");
}

// The named file is loaded where the loader's search finds nothing; a file
// that does not bind is named, with what is wrong with it.
TEST_F(ScriptOptions, LibraryByPath) {
    std::filesystem::create_directory(path("empty"));
    run_request nowhere;
    nowhere.library_dir = path("empty");
    std::string file = e2e.platform == "windows" ? "avisynth.dll" : "libavisynth.so";
    std::string library = e2e.standin_dir + "/complete/" + file;
    run_result r = run(
        {"--library", native_path(library), "--validate", script("frames = 2\n"), path("f.csv")}, nowhere);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(trace_has(r.trace, "load"));
    std::string dll = item(read_lines(path("f.csv.runner.log")), 4);
    EXPECT_EQ(dll.substr(dll.size() - file.size()), file) << dll;

    // What is wrong with the file it found, and the path in the log.
    std::string missing = native_path(path("empty/" + file));
    std::string text = native_path(script("frames = 2\n", "text.so"));
    std::string lacking = native_path(e2e.standin_dir + "/no_write_ptr/" + file);
    Dl_info libc;
    dladdr((void*)&printf, &libc);
    std::string other = e2e.platform == "windows" ? "C:\\windows\\system32\\kernel32.dll" : libc.dli_fname;
    struct {
        std::string library;
        std::string first_line;
    } cases[] = {
        {missing, "failed to load " + missing + ": No such file or directory"},
        {text, "failed to load " + text + ": it is not a library a " + e2e.width + " program can load"},
        {other, "failed to load " + other +
                    ": it loaded, but it is not AviSynth+ (it has no "
                    "avs_create_script_environment)"},
        {lacking, "failed to load " + lacking +
                      ": it is AviSynth, but it lacks avs_get_write_ptr_p, which the runner requires"},
    };
    for (const auto& c : cases) {
        run_result failed =
            run({"--library", c.library, "--validate", script("frames = 2\n"), path("g.csv")}, nowhere);
        EXPECT_EQ(failed.status, 2);
        EXPECT_EQ(failed.err.substr(0, failed.err.find_first_of("\r\n")), c.first_line);
        EXPECT_EQ(failed.out, "");
        std::vector<std::string> log = read_lines(path("g.csv.runner.log"));
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], "library: " + c.library);
    }
}

}  // namespace

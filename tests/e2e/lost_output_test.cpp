// Nothing lost and nothing reported falsely: an output that cannot be
// written fails the run, the CSV holds whole rows however the run ends, a
// stop sent twice at once (timeout, a process group) still ends on a whole
// frame, outputs that collide are refused, and numbers do not follow a
// locale that a plugin sets.
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <thread>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class LostOutput : public RunnerTest {
protected:
    bool windows() const { return e2e.platform == "windows"; }
};

// A 64 KiB file system for a full disk, where the test may mount one; else
// none (the caller takes /dev/full).
struct small_disk {
    std::string dir;
    bool mounted = false;
    explicit small_disk(const std::string& where) : dir(where) {
        std::filesystem::create_directories(dir);
        mounted = geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~small_disk() {
        if (mounted) umount(dir.c_str());
    }
};

std::function<bool(const std::string&, const std::string&)> done_at_least(int frames) {
    return [frames](const std::string&, const std::string& err) {
        std::vector<progress_line> lines = progress_lines(err);
        return !lines.empty() && lines.back().done >= frames;
    };
}

// A stream that cannot be written (a full disk, a file-size limit, a
// descriptor not open for writing) fails the run with the system's reason;
// a consumer that stops reading does not.
TEST_F(LostOutput, StreamsThatCannotBeWrittenFail) {
    small_disk disk(path("disk"));
    const std::string video =
        script("width = 64\nheight = 48\nframes = 2000\nprop zvk_drop_frame @5 = int 1\n", "video.avs");
    const std::string audio =
        script("frames = 0\naudio_rate = 8000\nsample_type = int16\nchannels = 2\naudio_samples = 200000\n",
               "audio.avs");
    const std::vector<std::vector<std::string>> modes = {
        {"--y4m", video}, {"--y4m-skip-drop", "25", "1", video},
        {"--wav", audio}, {"--rf64", audio},
        {"--mkv", video}, {"--mkv-skip-drop", video},
        {"--mkv", audio}, {"--raw", video}};
    struct {
        const char* kind;
        stdout_mode out_mode;
        std::string out_path;
        size_t file_size_limit;
        const char* reason;  // null: no failure
    } kinds[] = {
        {"full disk", disk.mounted ? STDOUT_FILE : STDOUT_FULL, disk.dir + "/out", 0,
         "No space left on device"},
        {"file-size limit", STDOUT_FILE, path("limited"), 20000, "File too large"},
        {"read-only descriptor", STDOUT_READ_ONLY, path("read-only"), 0, "Bad file descriptor"},
        {"closed pipe", STDOUT_CLOSE_AFTER, "", 0, nullptr},
    };
    for (const auto& kind : kinds) {
        if (windows() && kind.reason != nullptr) continue;  // POSIX descriptors and limits
        for (const std::vector<std::string>& args : modes) {
            SCOPED_TRACE(std::string(kind.kind) + " " + args[0]);
            run_request request;
            request.out_mode = kind.out_mode;
            request.out_path = kind.out_path;
            request.close_after = 100;
            request.file_size_limit = kind.file_size_limit;
            run_result r = run(args, request);
            if (kind.reason == nullptr) {
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(diagnostic_lines(r.err), "");
                continue;
            }
            EXPECT_EQ(r.status, 11);
            EXPECT_EQ(item(text_lines(r.err), -1),
                      std::string("failed to write standard output: ") + kind.reason);
            // It stops within a stage of small frames (1 MiB, 227 of
            // these), not at the end of the clip.
            if (args[0] != "--wav" && args[0] != "--rf64") {
                EXPECT_LT(item(progress_lines(r.err), -1).done, 500);
            }
            EXPECT_LT(trace_with(r.trace, "get_audio").size(), 3u);
            if (!kind.out_path.empty()) unlink(kind.out_path.c_str());
        }
    }
}

// The report modes check their standard output too, and its final flush.
TEST_F(LostOutput, ReportsThatCannotBeWrittenFail) {
    if (windows()) GTEST_SKIP() << "/dev/full is not a Windows file";
    std::string clip = script("frames = 3\nprop zvk_source_id = int 7\n");
    std::string csv = path("frames.csv");
    const std::vector<std::vector<std::string>> cases = {{"--validate", clip},
                                                         {"--validate-real", clip, csv},
                                                         {"--check-source", "7", clip},
                                                         {"--info", clip}};
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args[0]);
        run_request request;
        request.out_mode = STDOUT_FULL;
        run_result r = run(args, request);
        EXPECT_EQ(r.status, 11);
        EXPECT_EQ(item(text_lines(r.err), -1), "failed to write standard output: No space left on device");
    }
    EXPECT_EQ(item(read_lines(csv + ".runner.log"), -1), "exit: 11");
}

const char* const csv_header =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

// Killed at any moment, the CSV ends on a whole row, the same row a full run
// writes for that frame.
TEST_F(LostOutput, CsvEndsOnAWholeRowAfterSigkill) {
    if (windows()) GTEST_SKIP() << "SIGKILL is a POSIX signal";
    std::string clip = script(
        "frames = 300\nframe_delay_ms = 4\nprop zvk_source_id = int frame\n"
        "prop zvk_absolute_timestretch = float 1.0009999999999999\n");
    std::string full_csv = path("full.csv");
    ASSERT_EQ(run({"--validate", clip, full_csv}).status, 0);
    std::vector<std::string> full = read_lines(full_csv);
    ASSERT_EQ(full.size(), 301u);
    std::mt19937 random(std::random_device{}());
    for (int i = 0; i < 20; i++) {
        int after_ms = std::uniform_int_distribution<int>(100, 900)(random);
        SCOPED_TRACE("killed after " + std::to_string(after_ms) + " ms");
        std::string csv = path("killed.csv");
        run_request request;
        auto start =
            std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
        request.when = [start, after_ms](const std::string&, const std::string&) {
            return std::chrono::steady_clock::now() - *start > std::chrono::milliseconds(after_ms);
        };
        request.signal_to_send = SIGKILL;
        run_result r = run({"--validate", clip, csv}, request);
        if (!r.acted) continue;  // the run was quicker
        EXPECT_EQ(r.signal, SIGKILL);
        std::string text = read_file(csv);
        std::vector<progress_line> reported = progress_lines(r.err);
        if (text.empty() && reported.empty()) continue;  // killed before the CSV began
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n') << "a partial row";
        std::vector<std::string> rows = read_lines(csv);
        if (!reported.empty()) {
            EXPECT_GE(rows.size(), (size_t)reported.back().done + 1) << "rows reported done are missing";
        }
        ASSERT_LE(rows.size(), full.size());
        for (size_t k = 0; k < rows.size(); k++) EXPECT_EQ(rows[k], full[k]) << "row " << k;
    }
}

// GNU timeout sends its signal to the runner and again to its process group:
// one request to stop, however close the two come. The stream ends on a
// whole frame with the "interrupted" line, whoever reads it slowly.
TEST_F(LostOutput, TimeoutEndsOnAWholeFrame) {
    if (windows()) GTEST_SKIP() << "timeout sends POSIX signals";
    const std::vector<plane_size> planes = yuv_planes(420, 320, 240, 1);
    const std::string header = "YUV4MPEG2 W320 H240 F25:1 Ip A0:0 C420jpeg\n";
    std::string expected = header;
    for (int f = 0; f < 100; f++) expected += y4m_frame(f % 7, planes);
    std::string clip =
        script("width = 320\nheight = 240\nframes = 1000\nframe_delay_ms = 10\nframe_period = 7\n");
    std::string err_path = path("err.txt");
    // Late enough that a loaded machine (a sanitizer build) has started
    // rendering: a signal before the run sets its handlers ends it unsaid.
    std::string command = "timeout -s TERM 0.8 env " + runner_command() + " --y4m " + shell_quote(clip) +
                          " 2>" + shell_quote(err_path);
    for (int i = 0; i < 25; i++) {
        SCOPED_TRACE("run " + std::to_string(i));
        // A consumer that reads in small pieces: the runner is mostly
        // blocked inside a frame when the signals come.
        FILE* p = popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) {
            out.append(buffer, n);
            usleep(100);
        }
        pclose(p);
        std::string err = read_file(err_path);
        EXPECT_EQ(item(text_lines(err), -1), "interrupted by SIGTERM") << err;
        ASSERT_GE(out.size(), header.size());
        size_t frame_size = y4m_frame(0, planes).size();
        EXPECT_EQ((out.size() - header.size()) % frame_size, 0u) << out.size();
        EXPECT_EQ((out.size() - header.size()) / frame_size, (size_t)item(progress_lines(err), -1).done);
        EXPECT_TRUE(out.size() > expected.size() || expected.compare(0, out.size(), out) == 0);
    }
}

// The regular files of a directory and their bytes.
std::map<std::string, std::string> files_in(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = read_file(entry.path().string());
    return files;
}

// Every file a run writes is refused before anything is written when it is
// the script, the file of standard output or standard error, another file
// of the run, or a file another run holds: status 2, and every file as it
// was (one the refused run created is gone again).
TEST_F(LostOutput, CollidingOutputsAreRefused) {
    if (windows()) GTEST_SKIP() << "shell redirections of the POSIX runner";
    std::string clip = script("frames = 3\n");
    ASSERT_EQ(::link(clip.c_str(), path("link.avs").c_str()), 0);
    write_file(path("out.csv"), "rows kept\n");
    ASSERT_EQ(::link(path("out.csv").c_str(), path("out.csv.runner.log").c_str()), 0);
    script("frames = 3\n", "s.csv.runner.log");
    // Another run holds held.csv.runner.log: its timestamp file.
    std::string held = path("held.csv.runner.log");
    int holder_status = -1;
    std::thread holder([&] {
        shell_output(runner_command() + " --timecodes " + shell_quote(held) + " --y4m " +
                         shell_quote(script("frames = 100\nframe_delay_ms = 20\n", "slow.avs")) +
                         " >/dev/null 2>/dev/null",
                     &holder_status);
    });
    for (int waited = 0; waited < 20000 && read_file(held).empty(); waited += 10) usleep(10000);
    struct {
        std::string args;
        std::string message;  // on standard error, in err.txt unless the case sends it elsewhere
    } cases[] = {
        {"--validate clip.avs clip.avs", "validation CSV would overwrite the script: clip.avs"},
        {"--validate clip.avs link.avs", "validation CSV would overwrite the script: link.avs"},
        {"--validate clip.avs t.csv >>t.csv", "validation CSV is the file standard output goes to: t.csv"},
        {"--validate clip.avs err.txt", "validation CSV is the file standard error goes to: err.txt"},
        {"--validate clip.avs held.csv.runner.log",
         "validation CSV is being written by another run: held.csv.runner.log"},
        {"--validate s.csv.runner.log s.csv", "checkpoint log would overwrite the script: s.csv.runner.log"},
        {"--validate clip.avs t.csv >>t.csv.runner.log",
         "checkpoint log is the file standard output goes to: t.csv.runner.log"},
        {"--validate clip.avs e.csv 2>>e.csv.runner.log",
         "checkpoint log is the file standard error goes to: e.csv.runner.log"},
        {"--validate clip.avs out.csv",
         "checkpoint log would overwrite the validation CSV: out.csv.runner.log"},
        {"--validate clip.avs held.csv",
         "checkpoint log is being written by another run: held.csv.runner.log"},
        {"--timecodes clip.avs --y4m clip.avs", "timecodes file would overwrite the script: clip.avs"},
        {"--timecodes t.y4m --y4m clip.avs >>t.y4m",
         "timecodes file is the file standard output goes to: t.y4m"},
        {"--timecodes err.txt --y4m clip.avs", "timecodes file is the file standard error goes to: err.txt"},
        // Descriptor 1 of a stream run is standard error's file.
        {"--timecodes /dev/stdout --y4m clip.avs >>t.y4m",
         "timecodes file is the file standard error goes to: /dev/stdout"},
        {"--timecodes held.csv.runner.log --y4m clip.avs",
         "timecodes file is being written by another run: held.csv.runner.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        write_file(path("t.y4m"), "a stream kept\n");
        write_file(path("t.csv"), "a report kept\n");
        write_file(path("t.csv.runner.log"), "a log kept\n");
        write_file(path("e.csv.runner.log"), "a log kept\n");
        write_file(path("err.txt"), "");
        std::map<std::string, std::string> before = files_in(dir);
        int status = 0;
        shell_output("cd " + shell_quote(dir) + " && " + runner_command() + " 2>>err.txt " + c.args, &status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
        std::map<std::string, std::string> after = files_in(dir);
        std::string err = c.args.find("2>>") != std::string::npos ? "e.csv.runner.log" : "err.txt";
        EXPECT_EQ(after[err], before[err] + c.message + "\n");
        after[err] = before[err];
        after.erase("held.csv.runner.log");  // the holder's, growing
        before.erase("held.csv.runner.log");
        for (const auto& [name, bytes] : before)
            EXPECT_EQ(after.count(name) ? after[name] : "(gone)", bytes) << name;
        for (const auto& [name, bytes] : after) EXPECT_EQ(before.count(name), 1u) << name << " was created";
    }
    holder.join();
    EXPECT_TRUE(WIFEXITED(holder_status) && WEXITSTATUS(holder_status) == 0) << holder_status;
    EXPECT_EQ(read_lines(held).size(), 101u) << "the holder's file is whole";
    // The null device is no file of anyone's: a CSV thrown away there is fine.
    int status = 0;
    shell_output(runner_command() + " --validate " + shell_quote(clip) + " /dev/null >/dev/null 2>/dev/null",
                 &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Standard output's or error's pipe is theirs as a file is; a pipe of
    // the file's own is written as a file is.
    run_result r = run({"--timecodes", "/dev/stderr", "--y4m", clip});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(item(text_lines(r.err), -1), "timecodes file is the file standard error goes to: /dev/stderr");
    r = run({"--validate", clip, "/dev/stdout"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(item(text_lines(r.err), -1), "validation CSV is the file standard output goes to: /dev/stdout");
    ASSERT_EQ(mkfifo(path("t.fifo").c_str(), 0600), 0);
    shell_output("cd " + shell_quote(dir) + " && { cat t.fifo > got.txt & } && " + runner_command() +
                     " --timecodes t.fifo --y4m " + shell_quote(clip) +
                     " >/dev/null 2>/dev/null; s=$?; wait; exit $s",
                 &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read_file(path("got.txt")), "# timestamp format v2\n0\n40\n80\n");
}

// Two runs on one CSV at once: the second is refused, and the first's CSV
// and log are whole.
TEST_F(LostOutput, OneCsvOneRun) {
    if (windows()) GTEST_SKIP() << "a shell in the background";
    std::string clip = script("frames = 100\nframe_delay_ms = 10\nprop zvk_source_id = int frame\n");
    std::string csv = path("frames.csv");
    int first_status = -1;
    std::thread first([&] {
        shell_output(runner_command() + " --validate " + shell_quote(clip) + " " + shell_quote(csv) +
                         " >/dev/null 2>/dev/null",
                     &first_status);
    });
    for (int waited = 0; waited < 20000; waited += 10) {
        if (read_file(csv + ".runner.log").find("render: frame 0") != std::string::npos) break;
        usleep(10000);
    }
    run_result second = run({"--validate", clip, csv});
    first.join();
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err, "validation CSV is being written by another run: " + csv + "\n");
    EXPECT_EQ(second.out, "");
    EXPECT_TRUE(WIFEXITED(first_status) && WEXITSTATUS(first_status) == 0) << first_status;
    std::string rows = csv_header;
    for (int f = 0; f < 100; f++) rows += std::to_string(f) + "," + std::to_string(f) + ",,0,,0,0,0,\n";
    EXPECT_EQ(read_file(csv), rows);
    std::vector<std::string> log = read_lines(csv + ".runner.log");
    EXPECT_EQ(item(log, 0), "start");
    EXPECT_EQ(item(log, -1), "exit: 0");
}

// A CSV deleted, replaced or truncated while the run goes on is a lost
// report.
TEST_F(LostOutput, CsvNoLongerAtItsPathFails) {
    if (windows()) GTEST_SKIP() << "an open file cannot be deleted or replaced on Windows";
    std::string clip = script("frames = 200\nframe_delay_ms = 5\n");
    std::string csv = path("frames.csv");
    for (const char* change : {"deleted", "replaced", "truncated"}) {
        SCOPED_TRACE(change);
        run_request request;
        request.when = [&](const std::string&, const std::string& err) {
            if (!done_at_least(5)("", err)) return false;
            if (strcmp(change, "replaced") == 0) {
                write_file(path("other.csv"), "someone else's\n");
                rename(path("other.csv").c_str(), csv.c_str());
            } else if (strcmp(change, "truncated") == 0) {
                write_file(csv, "someone else's\n");
            } else {
                unlink(csv.c_str());
            }
            return true;
        };
        run_result r = run({"--validate", clip, csv}, request);
        EXPECT_EQ(r.status, 11);
        EXPECT_EQ(item(text_lines(r.err), -1), "validation CSV is no longer at its path: " + csv);
        EXPECT_EQ(text_lines(r.out).size(), 1u) << "no rendered= line";
        EXPECT_EQ(item(read_lines(csv + ".runner.log"), -1), "exit: 11");
    }
}

// A plugin that sets a German locale at import changes no byte of the CSV
// and no digit of a progress line.
TEST_F(LostOutput, NumbersIgnoreTheLocaleAPluginSets) {
    if (windows()) GTEST_SKIP() << "the locale is compiled for the C library of Linux";
    // A locale of the test's own, so the machine needs none installed.
    std::string locales = path("locales");
    std::filesystem::create_directories(locales);
    int status = 0;
    shell_output("localedef -i de_DE -f UTF-8 " + shell_quote(locales + "/de_DE.UTF-8") + " 2>&1", &status);
    ASSERT_TRUE(file_exists(locales + "/de_DE.UTF-8")) << "localedef (package locales) failed: " << status;
    const std::string description =
        "frames = 3\nprop zvk_source_id = int frame\nprop zvk_absolute_timestretch = float 1.5\n"
        "prop zvk_absolute_timestretch @1 = float 1.0009999999999999\nprop zvk_absolute_timestretch @2 = "
        "float -2.5e-300\n";
    std::string plain_csv = path("plain.csv");
    run_result plain = run({"--validate", script(description, "plain.avs"), plain_csv});
    std::string german_csv = path("german.csv");
    run_request request;
    request.env = {"LOCPATH=" + locales};
    run_result german =
        run({"--validate", script(description + "set_locale = de_DE.UTF-8\n", "german.avs"), german_csv},
            request);
    ASSERT_TRUE(trace_has(german.trace, "set_locale de_DE.UTF-8 ok decimal_point=,"))
        << "the locale was not set";
    EXPECT_EQ(german.status, 0);
    EXPECT_EQ(read_file(german_csv), read_file(plain_csv));
    EXPECT_EQ(german.out, plain.out);
    std::regex shape("zvk_progress,[0-9]+,3,[0-9]+\\.[0-9]{2},[0-9]+\\.[0-9]{3},[0-9]+\\.[0-9]{3}");
    std::vector<progress_line> lines = progress_lines(german.err);
    ASSERT_GE(lines.size(), 2u) << german.err;
    for (const progress_line& p : lines) EXPECT_TRUE(std::regex_match(p.text, shape)) << p.text;
    EXPECT_EQ(item(lines, 0).text, "zvk_progress,0,3,0.00,0.000,0.000");
    EXPECT_EQ(item(lines, -1).text.substr(0, 25), "zvk_progress,3,3,100.00,0");
}

// The stand-in itself fails cleanly where it cannot serve a clip: pixels it
// cannot allocate are an import error, not a crash.
TEST_F(LostOutput, StandinRefusesWhatItCannotServe) {
    if (windows()) GTEST_SKIP() << "address-space limits of POSIX";
#if !defined(__SANITIZE_ADDRESS__)
    run_request request;
    request.memory_limit = 7000u << 10;
    run_result r = run({"--y4m", script("width = 2048\nheight = 2048\nframes = 3\n")}, request);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "stand-in: no memory for the clip's pixels\n");
#endif
}

// A line break in the script's path does not split the log's path line.
TEST_F(LostOutput, ScriptPathWithALineBreakStaysOneLogLine) {
    if (windows()) GTEST_SKIP() << "Windows file names hold no line break";
    std::string clip = script("frames = 1\n", "clip\nsecond.avs");
    std::string csv = path("frames.csv");
    EXPECT_EQ(run({"--validate", clip, csv}).status, 0);
    std::vector<std::string> log = read_lines(csv + ".runner.log");
    EXPECT_EQ(item(log, 2), path("clip\\nsecond.avs"));
    EXPECT_EQ(item(log, 3), "load: " + e2e.library_file);
}

// A stop during an import that then fails is told and logged like any other
// stop, and ends the process the same way.
TEST_F(LostOutput, StopDuringAFailingImportIsTold) {
    if (windows()) GTEST_SKIP() << "POSIX signals";
    std::string trace = path("trace.txt");
    std::string csv = path("frames.csv");
    run_request request;
    request.when = [trace](const std::string&, const std::string&) {
        return read_file(trace).find("import delay") != std::string::npos;
    };
    request.signal_to_send = SIGTERM;
    run_result r =
        run({"--validate", script("import_delay_ms = 300\nresult = error\nerror = no such filter\n"), csv},
            request);
    EXPECT_EQ(r.signal, SIGTERM);
    EXPECT_EQ(r.err, "no such filter\ninterrupted by SIGTERM\n");
    EXPECT_EQ(item(read_lines(csv + ".runner.log"), -1), "interrupted: SIGTERM");
    EXPECT_FALSE(file_exists(csv)) << "a CSV the run created and never began";
}

}  // namespace

// Hostile answers and resource faults: the runner reports them with a status
// and a message, never crashes, never passes a lost or corrupt result off as
// a success.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

class Faults : public RunnerTest {};

const std::string csv_header =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

// A plane the library describes but whose rows cannot be read ends the run
// like a frame that cannot be fetched; nothing of that frame is written.
TEST_F(Faults, PlanesThatCannotBeRead) {
    for (const char* plane : {"plane_null = U", "plane_row_size = V -1", "plane_height = Y -2",
                              "plane_row_size = Y -2147483647"}) {
        for (const char* form : {"--y4m", "--mkv"}) {
            SCOPED_TRACE(form);
            run_result r = run({form, script(std::string("frames = 3\n") + plane + "\n")});
            EXPECT_EQ(r.status, 5) << plane;
            EXPECT_EQ(item(text_lines(r.err), -1), "failed to read the planes of frame 0") << plane;
            // The header alone.
            if (form[2] == 'y')
                EXPECT_EQ(r.out, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n") << plane;
            else
                EXPECT_EQ(r.out.find("\x1F\x43\xB6\x75"), std::string::npos) << "a Cluster";
            EXPECT_EQ(most_frames_held(r.trace), 1);
            EXPECT_EQ(item(r.trace, -1), "release_frame 0 held=0");
        }
    }
    // Empty planes are no fault: nothing to read, nothing written.
    run_result empty = run({"--y4m", script("frames = 1\nplane_null = V\nplane_height = V 0\n")});
    EXPECT_EQ(empty.status, 0);
    std::vector<plane_size> planes = yuv_planes(420, 4, 2, 1);
    planes[2].rows = 0;
    EXPECT_EQ(empty.out, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n" + y4m_frame(0, planes));
}

// Rows that overlap (a pitch below the row size) or run backwards stay within
// what the library described, and are written as described.
TEST_F(Faults, UnusualPitchesAreFollowed) {
    run_result r = run({"--y4m", script("width = 8\nheight = 4\nframes = 1\nplane_pitch = Y 2\n")});
    EXPECT_EQ(r.status, 0);
    // Row y starts 2 bytes after row y - 1 in memory laid out 8 bytes a row.
    std::string expected = "YUV4MPEG2 W8 H4 F25:1 Ip A0:0 C420jpeg\nFRAME\n";
    for (int y = 0; y < 4; y++)
        for (int c = 0; c < 8; c++)
            expected.push_back((char)standin_pixel(0, 0, (2 * y + c) / 8, (2 * y + c) % 8));
    expected += plane_bytes(0, {{0, 0}, {4, 2}, {4, 2}});
    EXPECT_EQ(r.out, expected);
}

TEST_F(Faults, CsvOnAFullDiskIsNotASuccess) {
#if !defined(__linux__)
    GTEST_SKIP() << "needs /dev/full";
#endif
    if (e2e.platform == "windows") GTEST_SKIP() << "/dev/full is not a Windows file";
    std::string csv = path("frames.csv");
    std::filesystem::create_symlink("/dev/full", csv);
    run_result r = run({"--validate", script("frames = 3\n"), csv});
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to write validation CSV: " + csv);
    EXPECT_EQ(text_lines(r.out).size(), 1u);
    EXPECT_TRUE(trace_with(r.trace, "get_frame").empty());
    EXPECT_EQ(slice(read_lines(csv + ".runner.log"), -2, 2),
              (std::vector<std::string>{"render: open validation csv", "exit: 11"}));
}

// The disk fills while rows are written: the run renders to the end but
// must not end with status 0.
TEST_F(Faults, CsvThatFillsTheDiskMidwayIsNotASuccess) {
    if (e2e.platform == "windows") GTEST_SKIP() << "file size limits are a POSIX process setting";
    std::string csv = path("frames.csv");
    run_request request;
    request.file_size_limit = 1500;  // the header and some rows; the log fits
    run_result r =
        run({"--validate", script("frames = 400\nprop zvk_source_id = int frame\n"), csv}, request);
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to write validation CSV: " + csv);
    EXPECT_EQ(text_lines(r.out).size(), 1u) << "no rendered= line for an incomplete report";
    EXPECT_EQ(slice(read_lines(csv + ".runner.log"), -2, 2),
              (std::vector<std::string>{"render: close validation csv", "exit: 11"}));
    // The row that did not fit is cut back: the file ends on a whole row.
    std::string rows = read_file(csv);
    EXPECT_LE(rows.size(), 1500u);
    EXPECT_GT(rows.size(), 1400u);
    EXPECT_EQ(rows.back(), '\n');
}

// With standard output closed, the CSV (the first file opened) must not
// receive what was meant for standard output.
TEST_F(Faults, ClosedStandardOutputDoesNotLeakIntoTheCsv) {
    run_request request;
    request.out_mode = STDOUT_CLOSED;
    std::string csv = path("frames.csv");
    run_result r = run({"--validate", script("frames = 2\n"), csv}, request);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(csv), csv_header + "0,,,0,,0,0,0,\n1,,,0,,0,0,0,\n");
    std::vector<std::string> log = read_lines(csv + ".runner.log");
    EXPECT_EQ(item(log, 0), "start");
    EXPECT_EQ(item(log, -1), "exit: 0");

    run_result check = run({"--check-source", "0", script("prop zvk_source_id = int 0\n")}, request);
    EXPECT_EQ(check.status, 0);
}

TEST_F(Faults, StandardOutputOnAFullDevice) {
    if (e2e.platform == "windows") GTEST_SKIP() << "/dev/full is not a Windows file";
    run_request request;
    request.out_mode = STDOUT_FULL;
    // A full device is no consumer that stopped reading: the stream is lost.
    run_result y4m = run({"--y4m", script("frames = 20\nwidth = 64\nheight = 64\n")}, request);
    EXPECT_EQ(y4m.status, 11);
    EXPECT_LT(item(progress_lines(y4m.err), -1).done, 20);
    run_result wav = run(
        {"--wav", script("audio_rate = 8000\nsample_type = int16\nchannels = 1\naudio_samples = 100000\n")},
        request);
    EXPECT_EQ(wav.status, 11);
}

TEST_F(Faults, VeryLongScriptPath) {
    // Longer than any path the system opens: the library says so.
    std::string long_path = dir + "/" + std::string(200, 'a');
    for (int i = 0; i < 25; i++) long_path += "/" + std::string(200, 'b');
    long_path += "/clip.avs";
    std::string csv = path("frames.csv");
    run_result r = run({"--validate", long_path, csv});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stand-in: cannot open"), std::string::npos);
    EXPECT_EQ(item(read_lines(csv + ".runner.log"), 2), long_path);

    // A long path that exists.
    std::string deep = dir;
    for (int i = 0; i < 14; i++) deep += "/" + std::string(240, 'c');
    std::filesystem::create_directories(deep);
    std::string clip = deep + "/clip.avs";
    write_file(clip, "frames = 2\nprop zvk_source_id = int 4\n");
    if (e2e.platform == "windows") GTEST_SKIP() << "Windows paths stop at 260 characters";
    run_result ok = run({"--check-source", "4", clip});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "source_id=4\n");
}

TEST_F(Faults, ScriptPathThatIsNotUtf8) {
    if (e2e.platform == "windows") GTEST_SKIP() << "Windows passes arguments as UTF-16";
    std::string name = "clip \xff\xfe\x80 \xc3(.avs";
    std::string clip = script("frames = 1\n", name);
    std::string csv = path("f\xe9.csv");
    run_result r = run({"--validate", clip, csv});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(item(read_lines(csv + ".runner.log"), 2), clip);
    EXPECT_TRUE(trace_has(r.trace, "invoke Import s " + clip + " array_size=0 names=null"));
}

class Permissions : public RunnerTest {
protected:
    void SetUp() override {
        RunnerTest::SetUp();
        if (e2e.platform == "windows") GTEST_SKIP() << "Wine runs as the owner of its prefix";
        // The runner may run as nobody: it must reach the scratch directory,
        // write its trace there, and run from copies that nobody may read
        // wherever the build tree is.
        chmod(dir.c_str(), 0777);
        chmod(std::filesystem::path(dir).parent_path().c_str(), 0711);
        std::filesystem::create_directories(path("bin"));
        std::filesystem::copy_file(e2e.runner, path("bin/zvk_avs_runner"));
        std::filesystem::copy_file(e2e.standin_dir + "/complete/" + e2e.library_file,
                                   path("bin/") + e2e.library_file);
        for (const char* name : {"bin", "bin/zvk_avs_runner"}) chmod(path(name).c_str(), 0755);
        chmod((path("bin/") + e2e.library_file).c_str(), 0755);
        request.unprivileged = true;
        request.runner = path("bin/zvk_avs_runner");
        request.library_dir = path("bin");
    }
    run_request request;
};

TEST_F(Permissions, UnreadableScriptDirectory) {
    std::filesystem::create_directories(path("scripts"));
    std::string clip = script("frames = 1\n", "scripts/clip.avs");
    chmod(path("scripts").c_str(), 0);
    run_result r = run({"--check-source", "0", clip}, request);
    chmod(path("scripts").c_str(), 0755);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "stand-in: cannot open " + clip + ": Permission denied\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(Permissions, UnwritableCsvDirectory) {
    std::filesystem::create_directories(path("out"));
    chmod(path("out").c_str(), 0555);
    std::string csv = path("out/frames.csv");
    run_result r = run({"--validate", script("frames = 2\n"), csv}, request);
    chmod(path("out").c_str(), 0755);
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(r.err, "failed to open validation CSV for writing: " + csv + "\n");
    EXPECT_FALSE(file_exists(csv + ".runner.log"));
}

}  // namespace

// Measuring and proving a script: --bench's report and CSV against known
// fetch delays, --props's line per fetched frame with every property type,
// and the frame digest, equal between a whole render and its parts.
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "e2e_test.h"
#include "expected_output.h"
#include "json_check.h"

namespace {

class Measure : public RunnerTest {
protected:
    // jq's verdict on a JSON file: status 0 when the filter holds.
    int jq_holds(const std::string& filter, const std::string& file) {
        int status = 0;
        shell_output("jq -e " + shell_quote(filter) + " " + shell_quote(file) + " >/dev/null 2>&1", &status);
        return status;
    }
    // The digest of a stand-in slot of a 4x2 YV12 clip, from the pixel formula.
    static std::string slot_digest(int slot) {
        std::string bytes = plane_bytes(slot, yuv_planes(420, 4, 2, 1));
        char hex[17];
        snprintf(hex, sizeof hex, "%016llx", (unsigned long long)XXH64(bytes.data(), bytes.size(), 0));
        return hex;
    }
};

// Fetches of 5 ms, two of them slow; frames 7 and 13 must stand out in the
// report and the CSV, beyond what a loaded machine adds to a sleep. The
// bounds are the sleeps' own jitter on a busy machine: only a wrong
// measurement breaks them.
const char* const delayed_clip =
    "frames = 20\nframe_delay_ms = 5\nframe_delay_ms @7-7 = 150\nframe_delay_ms @13-13 = 100\n";

TEST_F(Measure, BenchReportsFetchTimesAndTheSlowestFrames) {
    std::string clip = script(delayed_clip);
    struct {
        std::vector<std::string> range;
        int frames;
        int first;
    } rows[] = {{{}, 20, 0}, {{"--frames", "5", "14"}, 10, 5}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frames);
        std::vector<std::string> args = row.range;
        args.insert(args.end(), {"--bench", clip, native_path(path("frames.csv"))});
        run_result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        progress_line last = item(progress_lines(r.err), -1);
        EXPECT_EQ(last.label, "zvk_progress");
        EXPECT_EQ(last.done, row.frames);
        write_file(path("report.json"), r.out);
        EXPECT_EQ(text_lines(r.out).size(), 1u) << r.out;
        std::string checks = ".frames == " + std::to_string(row.frames) +
                             " and .fetch_ms.min >= 4.5 and .fetch_ms.median >= 4.5 and .fetch_ms.median < 50"
                             " and .fetch_ms.max >= 149 and .fetch_ms.p90 <= .fetch_ms.max"
                             " and (.slowest_frames | length) == 5"
                             " and .wall_seconds >= " +
                             std::to_string(0.9 * (0.005 * (row.frames - 2) + 0.25)) +
                             " and (.fps - .frames / .wall_seconds | fabs) < 0.01 * .fps"
                             " and .peak_resident_bytes > 1000000 and .user_cpu_seconds >= 0"
                             " and .system_cpu_seconds >= 0 and .max_threads >= 1 and .import_seconds >= 0"
                             " and .stopped == null";
        EXPECT_EQ(jq_holds(checks, path("report.json")), 0) << r.out;
        std::vector<std::string> csv = read_lines(path("frames.csv"));
        ASSERT_EQ(csv.size(), (size_t)row.frames + 1);
        EXPECT_EQ(csv[0], "frame,fetch_ms,resident_bytes");
        int sampled = 0, slowest = -1;
        double slowest_ms = -1;
        for (int i = 0; i < row.frames; i++) {
            int frame = 0;
            double ms = 0;
            long long rss = 0;
            int fields = sscanf(csv[(size_t)i + 1].c_str(), "%d,%lf,%lld", &frame, &ms, &rss);
            ASSERT_GE(fields, 2) << csv[(size_t)i + 1];
            EXPECT_EQ(frame, row.first + i);
            if (ms > slowest_ms) slowest_ms = ms, slowest = frame;
            EXPECT_GE(ms, frame == 7 ? 149 : frame == 13 ? 99 : 4.5) << csv[(size_t)i + 1];
            if (fields == 3) {
                sampled++;
                EXPECT_GT(rss, 1000000);
            }
        }
        // A busy machine may stretch any sleep; the report and the CSV agree.
        EXPECT_EQ(jq_holds(".slowest_frames[0] == " + std::to_string(slowest), path("report.json")), 0)
            << r.out;
        // The first row, then at most one every 100 ms of the run.
        EXPECT_GE(sampled, 1);
        EXPECT_LE(sampled, row.frames * 5 / 100 + 1 + 4);
        EXPECT_EQ(csv[1].back() != ',', true) << "the first row has no memory sample";
    }
}

TEST_F(Measure, BenchStoppedReportsTheFramesDone) {
    bool windows = e2e.platform == "windows";
    run_request request;
    request.when = [](const std::string&, const std::string& err) {
        std::string lines = err;  // CR LF under Windows
        lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
        for (const progress_line& p : progress_lines(lines))
            if (p.done >= 20) return true;
        return false;
    };
    request.signal_to_send = SIGINT;
    run_result r = run({"--bench", script("frames = 500\nframe_delay_ms = 10\n")}, request);
    ASSERT_TRUE(r.acted);
    if (windows)
        EXPECT_EQ(r.status, 0x3A) << r.err;
    else
        EXPECT_EQ(r.signal, SIGINT) << r.err;
    write_file(path("report.json"), r.out);
    int done = item(progress_lines(r.err), -1).done;
    EXPECT_EQ(jq_holds(".frames == " + std::to_string(done) +
                           " and .frames >= 20 and .frames < 500 and .stopped == \"" +
                           (windows ? "Ctrl-C" : "SIGINT") + "\"",
                       path("report.json")),
              0)
        << r.out;
}

// Every kind of property the interface has, a frame the skip-drop form
// leaves out, and a string that is no UTF-8.
const char* const typed_clip =
    "frames = 3\n"
    "prop _Matrix = int 1\nprop big = int -9223372036854775807\nprop f = float 0.1\n"
    "prop tiny = float 5e-324\nprop ints = ints 1,-2,3\nprop floats = floats 1.5,2\n"
    "prop utf8 = string h\\xC3\\xA9 \"q\"\nprop latin1 = string caf\\xE9\nprop c = clip\nprop v = "
    "videoframe\n"
    "prop zvk_drop_frame @1 = int 1\n";

TEST_F(Measure, PropsDumpEveryTypeAndTheDroppedFrame) {
    std::string dump = path("props.jsonl");
    run_result r = run({"--props", native_path(dump), "--y4m-skip-drop", "25", "1", script(typed_clip)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), std::string("YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n").size() + 2 * (6 + 12));
    std::string props =
        "\"props\": {\"_Matrix\": 1, \"big\": -9223372036854775807, \"f\": 0.1, \"tiny\": 5e-324, "
        "\"ints\": [1, -2, 3], \"floats\": [1.5, 2.0], \"utf8\": \"h\xC3\xA9 \\\"q\\\"\", "
        "\"latin1\": {\"base64\": \"Y2Fm6Q==\"}, \"c\": {\"clip\": true}, \"v\": {\"frame\": true}";
    // Byte for byte: the dump is the same on every platform.
    std::string expected = "{\"frame\": 0, \"digest\": \"" + slot_digest(0) + "\", " + props + "}}\n" +
                           "{\"frame\": 1, \"dropped\": true, \"digest\": \"" + slot_digest(1) + "\", " +
                           props + ", \"zvk_drop_frame\": 1}}\n" + "{\"frame\": 2, \"digest\": \"" +
                           slot_digest(2) + "\", " + props + "}}\n";
    EXPECT_EQ(read_file(dump), expected);
    // The Matroska form drops the same frame, though its audio still goes out.
    std::string mkv_dump = path("mkv.jsonl");
    std::string audio = "audio_rate = 1000\nsample_type = int16\nchannels = 1\naudio_samples = 120\n";
    r = run({"--props", native_path(mkv_dump), "--mkv-skip-drop", script(std::string(typed_clip) + audio)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(mkv_dump), expected);
    int status = 0;
    shell_output("jq -e -s 'length == 3 and .[1].props.ints == [1, -2, 3] and .[2].props.tiny == 5e-324' " +
                     shell_quote(dump) + " >/dev/null",
                 &status);
    EXPECT_EQ(status, 0) << "jq does not read the dump";
}

TEST_F(Measure, DigestsOfPartsEqualTheWholeAndTellOneByte) {
    std::string clip = "frames = 12\nframe_period = 12\nprop zvk_source_id = int frame\n";
    // Padding is not hashed: the whole render's rows have some, the parts' none.
    run_result whole = run({"--props", native_path(path("whole.jsonl")), "--validate",
                            script(clip + "pad = 5\npad_byte = 7\n", "whole.avs")});
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::string parts;
    for (int first : {0, 3, 6, 9}) {
        std::string dump = path("part" + std::to_string(first) + ".jsonl");
        run_result r = run({"--props", native_path(dump), "--frames", std::to_string(first),
                            std::to_string(first + 2), "--y4m", script(clip)});
        ASSERT_EQ(r.status, 0) << r.err;
        write_file(path("part" + std::to_string(first) + ".y4m"), r.out);
        parts += read_file(dump);
    }
    EXPECT_EQ(parts, read_file(path("whole.jsonl")));
    // The join checks the dumps: one run of frames, or no join.
    write_file(path("surplus.jsonl"), "");
    struct {
        std::vector<int> parts;  // -1: the surplus task's empty dump
        int status;
        std::string message;
    } joins[] = {
        {{0, 3, 6, 9, -1}, 0, ""},
        {{0, 3, 9}, 1, "part9.jsonl: frame 9 where frame 6 was due: frames 6 to 8 missing"},
        {{0, 3, 3, 6, 9}, 1, "part3.jsonl: frame 3 where frame 6 was due: frame 3 repeated"},
    };
    for (const auto& join : joins) {
        std::string command = shell_quote(e2e.examples_dir + "/parallel/join_parts.sh");
        std::string y4m_parts;
        for (int first : join.parts) {
            command += " --props " + shell_quote(first < 0 ? path("surplus.jsonl")
                                                           : path("part" + std::to_string(first) + ".jsonl"));
            if (first >= 0) y4m_parts += " " + shell_quote(path("part" + std::to_string(first) + ".y4m"));
        }
        int status = 0;
        std::string err =
            shell_output(command + " y4m " + shell_quote(path("joined.y4m")) + y4m_parts + " 2>&1", &status);
        EXPECT_EQ(WEXITSTATUS(status), join.status) << err;
        EXPECT_NE(err.find(join.message), std::string::npos) << err;
    }
    EXPECT_NE(parts.find("\"digest\": \"" + slot_digest(11) + "\""), std::string::npos);
    // One byte of frame 4's U plane changed: frame 4's digest alone differs.
    run_result poked = run({"--props", native_path(path("poked.jsonl")), "--validate",
                            script(clip + "poke = 4 9 0\n", "poked.avs")});
    ASSERT_EQ(poked.status, 0) << poked.err;
    std::vector<std::string> a = read_lines(path("whole.jsonl")), b = read_lines(path("poked.jsonl"));
    ASSERT_EQ(a.size(), 12u);
    ASSERT_EQ(b.size(), 12u);
    for (size_t i = 0; i < a.size(); i++) EXPECT_EQ(a[i] == b[i], i != 4) << i;
}

TEST_F(Measure, PropsRefusals) {
    struct {
        std::vector<std::string> args;  // the script follows
        std::string variant;
        std::string clip;
        int status;
        std::string message;  // the last line of standard error
    } rows[] = {
        {{"--props", "p.jsonl", "--validate"},
         "no_prop_enumeration",
         "",
         2,
         "loaded AviSynth lacks the frame property enumeration (avs_prop_num_keys, avs_prop_get_key, "
         "avs_prop_num_elements, avs_prop_get_type, avs_prop_get_data, avs_prop_get_data_size) that --props "
         "needs"},
        {{"--validate"}, "no_prop_enumeration", "", 0, ""},
        {{"--props", "p.jsonl", "--wav"}, "complete", "", 2, ""},
        {{"--props", "@script", "--bench"},
         "complete",
         "",
         2,
         "property dump would overwrite the script: @script"},
        {{"--props", "p.jsonl", "--validate"},
         "complete",
         "frames = 3\nprop e @2 = error 3\n",
         12,
         "failed to read the frame properties of frame 2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.variant);
        std::vector<std::string> args = row.args;
        std::string clip = script(row.clip.empty() ? "frames = 2\n" : row.clip);
        if (args[0] == "--props") args[1] = args[1] == "@script" ? clip : native_path(path(args[1]));
        args.push_back(clip);
        run_request request;
        request.variant = row.variant;
        run_result r = run(args, request);
        EXPECT_EQ(r.status, row.status) << r.err;
        if (!row.message.empty()) {
            std::string message = row.message;
            if (message.find("@script") != std::string::npos)
                message.replace(message.find("@script"), 7, clip);
            EXPECT_EQ(item(text_lines(diagnostic_lines(r.err)), -1), message);
        }
        if (row.status == 2 && row.variant != "complete") {
            EXPECT_FALSE(trace_has(r.trace, "invoke Import s " + args.back() + " array_size=0 names=null"));
        }
    }
    // A format the stream refuses leaves the dump's file as it was.
    write_file(path("kept.jsonl"), "notes\n");
    for (const char* form : {"--y4m", "--mkv"}) {
        EXPECT_EQ(run({"--props", native_path(path("kept.jsonl")), form,
                       script("frames = 2\npixel_type = YUV420PS\n")})
                      .status,
                  4);
        EXPECT_EQ(read_file(path("kept.jsonl")), "notes\n") << form;
    }
}

}  // namespace

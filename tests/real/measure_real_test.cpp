// --bench and --props against the real library: the report's rate against
// --validate's own, its memory against /usr/bin/time's, and a dump of
// every property type a script can set, with digests of the frames the
// Y4M stream carries.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "expected_output.h"
#include "real_test.h"

namespace {

class RealMeasure : public RealTest {
protected:
    // A number of a one-line JSON report, by its key.
    static double field(const std::string& json, const std::string& key) {
        size_t at = json.find("\"" + key + "\": ");
        if (at == std::string::npos) {
            ADD_FAILURE() << "no " << key << " in " << json;
            return 0;
        }
        return strtod(json.c_str() + at + key.size() + 4, nullptr);
    }
    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
    }
};

TEST_F(RealMeasure, BenchRateAndMemoryAgreeWithOtherMeasures) {
    // Blurs of full HD frames cost enough that the rates are the filter's,
    // not the runner's.
    std::string avs =
        "BlankClip(length=120, width=1920, height=1080, pixel_type=\"YV12\")\n"
        "ScriptClip(\"\"\"propSet(\"n\", current_frame)\"\"\")\n"
        "Blur(1.0).Blur(1.0).Blur(1.0).Blur(1.0).Blur(1.0).Blur(1.0)\n";
    std::vector<double> ratios;
    std::string report;
    // Paired and interleaved, each first in turn, so that a change of load
    // hits both alike.
    for (int pair = 0; pair < 6; pair++) {
        double fps[2] = {0, 0};  // validate, bench
        for (int k = 0; k < 2; k++) {
            bool bench = (pair + k) % 2 == 1;
            run_result r = run_avs({bench ? "--bench" : "--validate", "@"}, avs);
            ASSERT_EQ(r.status, 0) << r.err;
            if (bench) {
                report = r.out;
                fps[1] = field(report, "fps");
                EXPECT_EQ(field(report, "frames"), 120);
            } else {
                progress_line last = item(progress_lines(r.err), -1);
                fps[0] = last.done / last.elapsed;
            }
        }
        ratios.push_back(fps[1] / fps[0]);
    }
    EXPECT_NEAR(median(ratios), 1.0, 0.2) << "the median of bench's rate over validate's in a pair";
    EXPECT_GE(field(report, "max_threads"), 1);
    EXPECT_GT(field(report, "user_cpu_seconds"), 0);
    if (e2e.platform == "windows") return;  // /usr/bin/time sees Wine, not the program
    if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "/usr/bin/time is not installed (Debian's time)";
    std::string command = "/usr/bin/time -f 'maxrss=%M' env " + runner_command("", real_library_dir) +
                          " --bench " + shell_quote(script(avs)) + " 2>&1 >report.json | grep '^maxrss='";
    std::string line = shell(command);
    std::string report_text = read_file(path("report.json"));
    double time_bytes = strtod(line.c_str() + 7, nullptr) * 1024;
    double peak = field(report_text, "peak_resident_bytes");
    EXPECT_NEAR(peak, time_bytes, 0.2 * time_bytes) << line << command;
}

TEST_F(RealMeasure, PropsOfEveryTypeAndDigestsOfTheStreamedFrames) {
    // 36 pixels a row: the library pads rows, which the digest leaves out.
    std::string avs =
        "BlankClip(length=3, width=36, height=16, pixel_type=\"YV12\", color_yuv=$206080)\n"
        "ScriptClip(\"\"\"propSet(\"frame_no\", current_frame)\"\"\")\n"
        "propSet(\"i\", -7).propSet(\"f\", 0.1).propSet(\"s\", \"h\xC3\xA9llo\")\n"
        "propSet(\"ai\", [1, 2, 3]).propSet(\"af\", [0.5, -2.25])\n"
        "propSet(\"c\", BlankClip(length=1, width=8, height=8))\n"
        "ScriptClip(\"\"\"current_frame == 1 ? AddBorders(0, 0, 0, 0, color=$FFFFFF).Invert() : "
        "last\"\"\")\n";
    run_result r = run_avs({"--props", native_path(path("props.jsonl")), "--y4m", "@"}, avs);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = read_lines(path("props.jsonl"));
    ASSERT_EQ(lines.size(), 3u);
    write_file(path("one.json"), lines[1] + "\n");
    shell(
        "jq -e '.frame == 1 and .props.frame_no == 1 and .props.i == -7 and .props.f == 0.1 and "
        ".props.s == \"h\xC3\xA9llo\" and .props.ai == [1, 2, 3] and .props.af == [0.5, -2.25] and "
        ".props.c == {\"clip\": true}' one.json");
    // Each frame's digest is XXH64 of its planes as the stream carries them.
    std::string frame_marker = "FRAME\n";
    size_t frame_bytes = 36 * 16 * 3 / 2;
    size_t at = r.out.find('\n') + 1;
    std::vector<std::string> digests;
    for (int n = 0; n < 3; n++, at += frame_marker.size() + frame_bytes) {
        ASSERT_EQ(r.out.compare(at, frame_marker.size(), frame_marker), 0);
        char hex[17];
        snprintf(hex, sizeof hex, "%016llx",
                 (unsigned long long)XXH64(r.out.data() + at + frame_marker.size(), frame_bytes, 0));
        digests.push_back(hex);
        // Byte for byte the same on every platform (and so under Wine); the
        // library sets _ColorRange and _Matrix itself.
        EXPECT_EQ(lines[(size_t)n],
                  "{\"frame\": " + std::to_string(n) + ", \"digest\": \"" + hex +
                      "\", \"props\": {\"_ColorRange\": 1, \"_Matrix\": 6, \"af\": [0.5, -2.25], "
                      "\"ai\": [1, 2, 3], \"c\": {\"clip\": true}, \"f\": 0.1, \"frame_no\": " +
                      std::to_string(n) + ", \"i\": -7, \"s\": \"h\xC3\xA9llo\"}}");
    }
    EXPECT_EQ(digests[0], digests[2]);
    EXPECT_NE(digests[0], digests[1]);
}

}  // namespace

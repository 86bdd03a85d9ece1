// Real media through a real source plugin: frames and samples equal
// FFmpeg's own decode, whole and in ranges that start anywhere in a GOP.
#include "expected_output.h"
#include "media_fixture.h"

namespace {

// The first frame that differs, or -1.
long first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        if (a[i] != b[i]) return (long)i;
    return a.size() == b.size() ? -1 : (long)std::min(a.size(), b.size());
}

std::vector<std::string> frames_between(const std::vector<std::string>& all, int first, int last) {
    return slice(all, first, (size_t)(last - first + 1));
}

TEST_F(RealMedia, VideoEqualsFfmpegDecodeWholeAndInRanges) {
    for (const medium& m : video_media) {
        SCOPED_TRACE(m.file);
        script(video_source(m));
        shell(std::string("ffmpeg -nostdin -v error -y -i ") + media(m) + " -f rawvideo decoded.raw");
        std::string raw = read_file(path("decoded.raw"));
        size_t frame_bytes = raw.size() / m.frames;
        ASSERT_EQ(raw.size(), frame_bytes * m.frames);
        std::vector<std::string> ffmpeg;
        for (int f = 0; f < m.frames; f++) ffmpeg.push_back(raw.substr(f * frame_bytes, frame_bytes));

        std::vector<std::string> whole = y4m_frames(render({"--y4m", "@"}), frame_bytes);
        EXPECT_EQ(whole.size(), (size_t)m.frames);
        EXPECT_EQ(first_difference(whole, ffmpeg), -1);

        // ffprobe's count is the clip's: its last frame renders, one more is
        // outside the clip.
        EXPECT_EQ(
            shell("ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames "
                  "-of csv=p=0 " +
                  media(m)),
            std::to_string(m.frames) + "\n");
        std::string last = std::to_string(m.frames - 1), beyond = std::to_string(m.frames);
        EXPECT_EQ(first_difference(y4m_frames(render({"--frames", last, last, "--y4m", "@"}), frame_bytes),
                                   frames_between(ffmpeg, m.frames - 1, m.frames - 1)),
                  -1);
        EXPECT_EQ(run_avs({"--frames", beyond, beyond, "--y4m", "@"}, read_file(path("clip.avs"))).status, 2);
        // --info tells the same count without rendering.
        write_file(path("info.json"), render({"--info", "@"}));
        EXPECT_EQ(shell("jq .video.frames info.json"), std::to_string(m.frames) + "\n");

        // Mid-GOP to mid-GOP across a keyframe, the keyframe alone, the frame
        // before it alone, then three parts that split the clip mid-GOP.
        const int g = m.gop, n = m.frames;
        const int ranges[][2] = {{g / 2 + 1, g + g / 2}, {g, g},
                                 {g - 1, g - 1},         {0, n / 3 - 1},
                                 {n / 3, 2 * n / 3 - 1}, {2 * n / 3, n - 1}};
        std::vector<std::string> joined;
        for (const auto& range : ranges) {
            SCOPED_TRACE(std::to_string(range[0]) + ".." + std::to_string(range[1]));
            std::vector<std::string> part = y4m_frames(
                render({"--frames", std::to_string(range[0]), std::to_string(range[1]), "--y4m", "@"}),
                frame_bytes);
            EXPECT_EQ(first_difference(part, frames_between(ffmpeg, range[0], range[1])), -1);
            if (range[0] == 0 || !joined.empty()) joined.insert(joined.end(), part.begin(), part.end());
        }
        EXPECT_EQ(first_difference(joined, ffmpeg), -1);
    }
}

TEST_F(RealMedia, FlacAudioEqualsFfmpegDecodeWholeAndInRanges) {
    script(dubbed_source());
    shell("ffmpeg -nostdin -v error -y -i " + media(flac_51) + " -f s16le decoded.raw");
    std::string ffmpeg = read_file(path("decoded.raw"));
    ASSERT_EQ(ffmpeg.size(), 120 * frame_audio_bytes);

    std::string wav = render({"--wav", "@"});
    EXPECT_EQ(wav.compare(20, 4, std::string("\x01\x00\x06\x00", 4)), 0) << "PCM, six channels";
    EXPECT_TRUE(wav_samples(wav) == ffmpeg);

    const int ranges[][2] = {{30, 70}, {50, 50}, {49, 49}, {0, 39}, {40, 79}, {80, 119}};
    std::string joined;
    for (const auto& range : ranges) {
        SCOPED_TRACE(std::to_string(range[0]) + ".." + std::to_string(range[1]));
        std::string part = wav_samples(
            render({"--frames", std::to_string(range[0]), std::to_string(range[1]), "--wav", "@"}));
        EXPECT_TRUE(part == ffmpeg.substr(range[0] * frame_audio_bytes,
                                          (range[1] - range[0] + 1) * frame_audio_bytes));
        if (range[0] == 0 || !joined.empty()) joined += part;
    }
    EXPECT_TRUE(joined == ffmpeg);
}

// The Matroska stream of H.264 with FLAC 5.1: FFmpeg decodes --y4m's frames
// and --wav's samples from it, whole and in parts; its times are
// --timecodes's, of a VFR source and with every third frame dropped too.
TEST_F(RealMedia, MatroskaHoldsTheFramesSamplesAndTimesOfTheOtherStreams) {
    script(dubbed_source());
    const size_t frame_bytes = 320 * 240 * 3 / 2;
    std::vector<std::string> frames = y4m_frames(render({"--y4m", "@"}), frame_bytes);
    std::string samples = wav_samples(render({"--wav", "@"}));
    auto decoded = [&](const std::string& file, const char* stream, const char* format) {
        return shell("ffmpeg -nostdin -v error -i " + file + " -map 0:" + stream + " -f " + format + " -");
    };
    auto times = [&](const std::string& file) {
        return shell("ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 " + file);
    };
    // --timecodes's lines as ffprobe prints seconds.
    auto timecodes = [&](const std::vector<std::string>& form) {
        std::vector<std::string> args = {"--timecodes", path("times.txt")};
        args.insert(args.end(), form.begin(), form.end());
        render(args);
        std::string lines;
        char line[32];
        for (const std::string& ms : read_lines(path("times.txt")))
            if (ms[0] != '#') snprintf(line, sizeof line, "%.6f\n", std::stod(ms) / 1000), lines += line;
        return lines;
    };
    write_file(path("whole.mkv"), render({"--mkv", "@"}));
    std::string video = decoded("whole.mkv", "v", "rawvideo");
    EXPECT_EQ(video.size(), 120 * frame_bytes);
    for (size_t f = 0; f < frames.size(); f++)
        ASSERT_TRUE(video.compare(f * frame_bytes, frame_bytes, frames[f]) == 0) << "frame " << f;
    EXPECT_TRUE(decoded("whole.mkv", "a", "s16le") == samples);
    EXPECT_EQ(times("whole.mkv"), timecodes({"--y4m", "@"}));
    // mkvmerge's status is 1 after a warning; mkvtoolnix is an optional package.
    if (system("command -v mkvmerge >/dev/null 2>&1") == 0) {
        EXPECT_EQ(shell("mkvmerge -q -o remuxed.mkv whole.mkv 2>&1"), "");
    } else {
        printf("SKIPPED: mkvmerge is not installed (Debian package mkvtoolnix)\n");
    }

    for (const auto& range : {std::pair<int, int>{0, 39}, {40, 79}, {80, 119}}) {
        std::string first = std::to_string(range.first), last = std::to_string(range.second);
        SCOPED_TRACE(first + ".." + last);
        write_file(path("part.mkv"), render({"--frames", first, last, "--mkv", "@"}));
        EXPECT_TRUE(decoded("part.mkv", "v", "rawvideo") ==
                    video.substr(range.first * frame_bytes, (range.second - range.first + 1) * frame_bytes));
        EXPECT_TRUE(decoded("part.mkv", "a", "s16le") ==
                    wav_samples(render({"--frames", first, last, "--wav", "@"})));
    }

    script(video_source(vfr_h264));
    write_file(path("vfr.mkv"), render({"--mkv", "@"}));
    std::string source_times = shell(
        "ffprobe -v error -select_streams v -show_entries packet=pts_time -of "
        "csv=p=0 " +
        media(vfr_h264) + " | sort -n");
    EXPECT_EQ(times("vfr.mkv"), source_times);
    EXPECT_EQ(times("vfr.mkv"), timecodes({"--y4m", "@"}));
    script(video_source(vfr_h264) +
           "ScriptClip(\"\"\"propSet(\"zvk_drop_frame\", current_frame % 3 == 2 ? 1 : 0)\"\"\")\n");
    write_file(path("dropped.mkv"), render({"--mkv-skip-drop", "@"}));
    std::vector<std::string> kept, all = text_lines(source_times);
    for (size_t f = 0; f < all.size(); f++)
        if (f % 3 != 2) kept.push_back(all[f]);
    EXPECT_EQ(text_lines(times("dropped.mkv")), kept);
}

TEST_F(RealMedia, ValidationRendersEveryFrame) {
    script(video_source(video_media[1]));
    run_result r = run_avs({"--validate", "@", "@csv"}, read_file(path("clip.avs")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(item(text_lines(r.out), -1), "rendered=48");
    std::vector<std::string> rows = read_lines(path("frames.csv"));
    EXPECT_EQ(rows.size(), 49u);
    EXPECT_EQ(item(rows, -1).substr(0, 3), "47,");
}

// Out-of-order requests make a long-GOP source seek back, which is slow:
// a short stretch.
TEST_F(RealMedia, PrefetchGivesTheSameFrames) {
    const medium& m = video_media[0];
    script(video_source(m) + "Trim(40, 69)\n");
    std::string plain = render({"--y4m", "@"});
    script(video_source(m) + "Trim(40, 69)\nPrefetch(2)\n");
    std::string prefetched = render({"--y4m", "@"});
    EXPECT_EQ(y4m_frames(prefetched, 320 * 240 * 3 / 2).size(), 30u);
    EXPECT_TRUE(prefetched == plain);
}

}  // namespace

// The Matroska stream, read by the real programs: FFmpeg decodes the
// stand-in's pixels and samples from it byte for byte, at the times the
// timestamp file gives, and mkvmerge remuxes it without a warning.
#include <math.h>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

// Real programs read the streams: the consumers group (tests/filters).
class MkvConsumers : public RunnerTest {
protected:
    // The stream of a run, saved for the programs that read it.
    std::string saved(const std::vector<std::string>& args, const std::string& name = "clip.mkv") {
        run_result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        write_file(path(name), r.out);
        return path(name);
    }
    std::string sh(const std::string& command) {
        int status;
        std::string out = shell_output(command, &status);
        EXPECT_EQ(status, 0) << command;
        return out;
    }
    // One stream of the file as FFmpeg decodes it, in its own format.
    std::string decoded(const std::string& file, const char* stream, const char* format) {
        return sh("ffmpeg -nostdin -v error -i " + file + " -map 0:" + stream + " -f " + format + " -");
    }
    // The times FFmpeg gives the video's packets, in microseconds.
    std::vector<long> frame_times(const std::string& file) {
        std::vector<long> times;
        for (const std::string& line : text_lines(
                 sh("ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 " + file)))
            times.push_back(lround(std::stod(line) * 1e6));
        return times;
    }
    // The lines of a --timecodes file after its header, in microseconds.
    std::vector<long> timecodes(const std::vector<std::string>& form, const std::string& clip) {
        std::vector<std::string> args = {"--timecodes", path("times.txt")};
        args.insert(args.end(), form.begin(), form.end());
        args.push_back(clip);
        EXPECT_EQ(run(args).status, 0);
        std::vector<long> times;
        for (const std::string& line : read_lines(path("times.txt")))
            if (line[0] != '#') times.push_back(lround(std::stod(line) * 1000));
        return times;
    }
};

// The planes of every raw layout, packed RGB turned top row first.
TEST_F(MkvConsumers, FfmpegDecodesEveryLayout) {
    struct {
        const char* pixel;
        const char* pix_fmt;
        std::vector<plane_size> planes;
        bool bottom_up;
    } cases[] = {
        {"YV12", "yuv420p", yuv_planes(420, 64, 48, 1), false},
        {"YUV420P10", "yuv420p10le", yuv_planes(420, 64, 48, 2), false},
        {"YV24", "yuv444p", yuv_planes(444, 64, 48, 1), false},
        {"YUV422P16", "yuv422p16le", yuv_planes(422, 64, 48, 2), false},
        {"Y8", "gray", {{64, 48}}, false},
        {"YUY2", "yuyv422", {{128, 48}}, false},
        {"BGR24", "bgr24", {{192, 48}}, true},
        {"BGR32", "bgra", {{256, 48}}, true},
        // G, B, R and alpha by the library's plane ids.
        {"RGBP", "gbrp", {{64, 48}, {64, 48}, {64, 48}}, false},
        {"YUVA420", "yuva420p", {{64, 48}, {32, 24}, {32, 24}, {64, 48}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel);
        std::string file =
            saved({"--mkv", script(std::string("width = 64\nheight = 48\nframes = 3\npad = 12\n"
                                               "pixel_type = ") +
                                   c.pixel + "\n")});
        EXPECT_EQ(sh("ffprobe -v error -show_entries stream=codec_name,pix_fmt -of csv=p=0 " + file),
                  std::string("rawvideo,") + c.pix_fmt + "\n");
        std::string expected;
        for (int f = 0; f < 3; f++) {
            std::string frame = plane_bytes(f, c.planes);
            size_t row = (size_t)c.planes[0].row_bytes;
            if (c.bottom_up)
                for (size_t top = 0, bottom = frame.size() - row; top < bottom; top += row, bottom -= row)
                    std::swap_ranges(frame.begin() + (long)top, frame.begin() + (long)(top + row),
                                     frame.begin() + (long)bottom);
            expected += frame;
        }
        EXPECT_TRUE(decoded(file, "v", "rawvideo") == expected) << "planes differ";
    }
    run_result refused = run({"--mkv", script("pixel_type = YUV420PS\n")});
    EXPECT_EQ(refused.status, 4);
    EXPECT_EQ(refused.err, "unsupported Avisynth pixel format for Matroska output: -1610481656\n");
    EXPECT_EQ(refused.out, "");
}

// Frame durations of their own for some frames, 5.1 audio beside them: the
// samples are --wav's, the times --timecodes's, the blocks in time order.
TEST_F(MkvConsumers, VideoAndAudioAsTheirOwnStreamsGiveThem) {
    const std::string clip = script(
        "width = 32\nheight = 16\nframes = 48\nfps = 30000/1001\n"
        "prop _DurationNum @10-19 = int 1\nprop _DurationDen @10-19 = int 10\n"
        "audio_rate = 48000\nsample_type = int24\nchannels = 6\naudio_samples = 120000\n");
    std::string file = saved({"--mkv", clip});
    EXPECT_EQ(frame_times(file), timecodes({"--y4m"}, clip));
    EXPECT_TRUE(decoded(file, "a", "s24le") == run({"--wav", clip}).out.substr(44)) << "samples differ";
    std::string order = sh("ffprobe -v error -show_entries packet=pts_time -of csv=p=0 " + file);
    std::vector<std::string> times = text_lines(order);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end(), [](const std::string& a, const std::string& b) {
        return std::stod(a) < std::stod(b);
    }));
    if (installed("mkvmerge", "mkvtoolnix")) {
        EXPECT_EQ(sh("mkvmerge -q -o " + path("remuxed.mkv") + " " + file + " 2>&1"), "");
    }
    // Float audio alone, and video alone: the one track there is.
    const std::string audio =
        script("frames = 0\naudio_rate = 44100\nsample_type = float\nchannels = 2\naudio_samples = 100000\n",
               "audio.avs");
    file = saved({"--mkv", audio}, "audio.mkv");
    EXPECT_EQ(sh("ffprobe -v error -show_entries stream=codec_name,channels -of csv=p=0 " + file),
              "pcm_f32le,2\n");
    EXPECT_TRUE(decoded(file, "a", "f32le") == run({"--wav", audio}).out.substr(44));
    file = saved({"--mkv", script("frames = 4\n", "video.avs")}, "video.mkv");
    EXPECT_EQ(sh("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + file), "rawvideo\n");
    // Audio that outlasts the frames by several steps follows them whole;
    // progress counts the frames.
    const std::string longer =
        script("frames = 4\naudio_rate = 48000\nsample_type = int16\nchannels = 1\naudio_samples = 200000\n",
               "longer.avs");
    run_result r = run({"--mkv", longer});
    write_file(path("longer.mkv"), r.out);
    EXPECT_TRUE(decoded(path("longer.mkv"), "a", "s16le") == run({"--wav", longer}).out.substr(44));
    EXPECT_EQ(item(progress_lines(r.err), -1).text.substr(0, 17), "zvk_render,4,4,10");
    EXPECT_EQ(progress_lines(r.err).size(), 2u);
}

// Every third frame dropped: the frames after keep their times, the audio
// is all there.
TEST_F(MkvConsumers, SkipDropLeavesOutDroppedFramesAndKeepsTheTimes) {
    std::string description =
        "width = 16\nheight = 16\nframes = 30\nfps = 25/1\n"
        "audio_rate = 8000\nsample_type = int16\nchannels = 1\naudio_samples = 9600\n";
    for (int f = 2; f < 30; f += 3) description += "prop zvk_drop_frame @" + std::to_string(f) + " = int 1\n";
    const std::string clip = script(description);
    std::string file = saved({"--mkv-skip-drop", clip});
    std::vector<long> times = frame_times(file);
    EXPECT_EQ(times, timecodes({"--y4m-skip-drop", "25", "1"}, clip));
    ASSERT_EQ(times.size(), 20u);
    EXPECT_EQ(times[2], 120000) << "frame 3 at its own time";
    EXPECT_TRUE(decoded(file, "a", "s16le") == run({"--wav", clip}).out.substr(44));
}

// Parts of a range each hold their frames and exactly --wav --frames's
// audio, their times from 0.
TEST_F(MkvConsumers, FrameRangesDecodeToTheirParts) {
    const std::string clip = script(
        "width = 16\nheight = 16\nframes = 20\nfps = 24000/1001\nframe_period = 20\n"
        "audio_rate = 44100\nsample_type = int16\nchannels = 2\naudio_samples = 40000\n");
    std::string whole = decoded(saved({"--mkv", clip}), "v", "rawvideo");
    std::string video, audio;
    for (const auto& part : std::vector<std::pair<const char*, const char*>>{{"0", "6"}, {"7", "19"}}) {
        std::string file = saved({"--frames", part.first, part.second, "--mkv", clip},
                                 std::string("part") + part.first + ".mkv");
        video += decoded(file, "v", "rawvideo");
        EXPECT_TRUE(decoded(file, "a", "s16le") ==
                    run({"--frames", part.first, part.second, "--wav", clip}).out.substr(44));
        EXPECT_EQ(item(frame_times(file), 0), 0);
    }
    EXPECT_TRUE(video == whole);
}

// Through a pipe, as users run it: into ffmpeg encoding both streams, and
// into ffprobe.
TEST_F(MkvConsumers, ConsumersReadItFromAPipe) {
    const std::string clip = script(
        "width = 64\nheight = 48\nframes = 25\n"
        "audio_rate = 48000\nsample_type = int16\nchannels = 2\naudio_samples = 48000\n");
    std::string out = path("out.mkv");
    sh(runner_command() + " --mkv " + shell_quote(clip) +
       " 2>/dev/null | ffmpeg -nostdin -v error -i - -c:v libx264 -preset ultrafast -c:a flac " + out);
    // The video's frames, and the audio's codec (its frames are FLAC's own).
    std::string probe = sh(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames -of csv=p=0 " + out);
    EXPECT_EQ(probe.substr(0, 13), "h264,25\nflac,") << probe;
    EXPECT_EQ(sh(runner_command() + " --mkv " + shell_quote(clip) +
                 " 2>/dev/null | ffprobe -v error -count_frames -select_streams v -show_entries "
                 "stream=nb_read_frames -of "
                 "csv=p=0 -i -"),
              "25\n");
}

}  // namespace

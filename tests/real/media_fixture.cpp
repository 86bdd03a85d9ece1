#include "media_fixture.h"

#include <filesystem>

// Small, so that the group stays short; fixed GOPs put keyframes where the
// tests' ranges expect them.
const medium video_media[2] = {
    {"h264.mkv",
     "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 120 -c:v libx264 -preset veryfast "
     "-x264-params keyint=50:min-keyint=50:scenecut=0:bframes=3 -pix_fmt yuv420p",
     120, 50},
    {"hevc10.mkv",
     "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 48 -c:v libx265 -preset ultrafast "
     "-x265-params keyint=24:min-keyint=24:scenecut=0:bframes=3:log-level=error -pix_fmt yuv420p10le",
     48, 24},
};
// 4.8 s: 120 frames at 25 fps; one channel of noise, which no decoder
// error hides in.
const medium flac_51 = {
    "flac51.flac",
    "-f lavfi -i 'aevalsrc=sin(440*2*PI*t)|sin(550*2*PI*t)|sin(660*2*PI*t)|0.1*random(0)|sin(770*2*PI*t)|"
    "sin(880*2*PI*t):s=48000:d=4.8:c=5.1' -c:a flac -sample_fmt s16",
    120, 0};
const medium vfr_h264 = {
    "vfr.mkv",
    "-f lavfi -i testsrc2=size=160x120:rate=50 -frames:v 60 -vf "
    "\"setpts='if(lt(N,20),N*0.04,if(lt(N,40),0.8+(N-20)*0.08,2.4+(N-40)*0.02))/TB'\" -fps_mode vfr "
    "-c:v libx264 -preset veryfast",
    60, 0};
const size_t frame_audio_bytes = 1920 * 6 * 2;

std::string RealMedia::media(const medium& m) {
    std::string shared = std::filesystem::path(dir).parent_path().string() + "/media";
    std::string file = shared + "/" + m.file;
    if (!file_exists(file)) {
        std::filesystem::create_directories(shared);
        // A run cut short leaves no half medium under the name.
        std::string part = shared + "/part-" + m.file;
        shell(std::string("ffmpeg -nostdin -v error -y ") + m.make + " " + part + " && mv " + part + " " +
              file);
    }
    return file;
}

// The index goes into the scratch directory, not beside the medium.
std::string RealMedia::video_source(const medium& m) {
    return "LoadPlugin(\"" + ffms2_dir + "/libffms2.so\")\nFFVideoSource(\"" + media(m) + "\", cachefile=\"" +
           path(std::string(m.file) + ".ffindex") + "\")\n";
}

std::string RealMedia::dubbed_source() {
    return video_source(video_media[0]) + "AudioDub(last, FFAudioSource(\"" + media(flac_51) +
           "\", cachefile=\"" + path("flac51.ffindex") + "\"))\n";
}

std::string RealMedia::render(const std::vector<std::string>& args) {
    run_result r = run_avs(args, read_file(path("clip.avs")));
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::vector<std::string> RealMedia::y4m_frames(const std::string& y4m, size_t frame_bytes) {
    std::vector<std::string> frames;
    size_t at = y4m.find('\n');
    if (at == std::string::npos) return frames;
    for (at++; at < y4m.size(); at += 6 + frame_bytes) {
        if (y4m.compare(at, 6, "FRAME\n") != 0 || at + 6 + frame_bytes > y4m.size()) {
            ADD_FAILURE() << "no whole frame at byte " << at;
            break;
        }
        frames.push_back(y4m.substr(at + 6, frame_bytes));
    }
    return frames;
}

std::string RealMedia::wav_samples(const std::string& wav) {
    size_t data = wav.find("data");
    EXPECT_NE(data, std::string::npos);
    return data == std::string::npos ? "" : wav.substr(data + 8);
}

// A stream into a pipe gets a pipe of 1 MiB where the system allows it
// (Linux): the default 64 KiB holds a fiftieth of a 1080p frame. A pipe the
// caller made larger stays so, and the text outputs leave the pipe alone.
#include <fcntl.h>
#include <unistd.h>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class StreamPipe : public RunnerTest {};

TEST_F(StreamPipe, EnlargedForTheStreamsOnly) {
    int standard = 0, larger = 2 << 20;
#if defined(F_GETPIPE_SZ)
    int probe[2];
    ASSERT_EQ(pipe(probe), 0);
    standard = fcntl(probe[0], F_GETPIPE_SZ);
    // Past the ordinary user's allowance: only a privileged suite can make it.
    if (fcntl(probe[0], F_SETPIPE_SZ, larger) != larger) larger = 0;
    close(probe[0]);
    close(probe[1]);
#endif
    if (standard == 0) GTEST_SKIP() << "pipe sizes are not known on this system";
    // Wine's runner is a Windows program: it leaves the pipe as it is.
    int widened = e2e.platform == "linux" ? 1 << 20 : standard;
    std::string clip = script(
        "width = 64\nheight = 48\nframes = 3\naudio_rate = 48000\nsample_type = int16\nchannels = 2\n"
        "audio_samples = 4800\n");
    struct row {
        std::vector<std::string> args;
        int given;
        int expected;
    } rows[] = {
        {{"--y4m", clip}, 0, widened},   {{"--y4m-skip-drop", "25", "1", clip}, 0, widened},
        {{"--wav", clip}, 0, widened},   {{"--validate", clip}, 0, standard},
        {{"--info", clip}, 0, standard}, {{"--y4m", clip}, larger, larger},
    };
    for (const row& r : rows) {
        if (r.given == 0 && r.expected == 0) continue;
        run_request request;
        request.pipe_size = r.given;
        run_result result = run(r.args, request);
        const std::string& mode = r.args[0];
        EXPECT_EQ(result.status, 0) << mode << ": " << result.err;
        EXPECT_EQ(result.pipe_size, r.expected) << mode << " given " << r.given;
    }
}

}  // namespace

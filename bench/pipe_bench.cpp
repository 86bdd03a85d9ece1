// Throughput of the runner's streams into a pipe, against an ideal writer
// that writes the same number of bytes from one buffer into the same kind of
// pipe, once per write size from 4 KiB to 1 MiB; the fastest size is the
// ceiling. The consumer, this program, reads and discards. Runs alternate
// between runner and ideal writer and the figures are medians, since the
// machine is shared.
//
//   zvk_pipe_bench --runner=PATH --standin=DIR [--mode=y4m|wav] [--runs=N]
//                  [--frames=N] [--big-frames=N] [--seconds=N] [--sizes=A,B,...]
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct options {
    std::string runner;
    std::string standin;
    std::string mode = "y4m";
    int runs = 5;
    int frames = 2000;
    int big_frames = 20000;
    int seconds = 3600;
    std::vector<size_t> sizes;  // ideal write sizes; default 4 KiB to 1 MiB
};

struct measurement {
    double seconds;
    double cpu_seconds;  // user and system time of the writer
    long long bytes;
    long max_rss_kib;
    int status;
};

double now_seconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Starts child() with its standard output on a pipe, reads the pipe to its
// end and discards the bytes.
template <typename Child>
measurement consume(Child child) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    double start = now_seconds();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        child();
        _exit(127);
    }
    close(fds[1]);
    static char buffer[1 << 20];
    long long total = 0;
    for (;;) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += n;
    }
    close(fds[0]);
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    measurement m;
    m.seconds = now_seconds() - start;
    m.cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6;
    m.bytes = total;
    m.max_rss_kib = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

measurement run_runner(const options& o, const std::string& script) {
    return consume([&]() {
        std::string dir = o.standin + "/complete";
        setenv("LD_LIBRARY_PATH", dir.c_str(), 1);
        unsetenv("ZVK_STANDIN_TRACE");
        std::string flag = "--" + o.mode;
        execl(o.runner.c_str(), o.runner.c_str(), flag.c_str(), script.c_str(), (char*)nullptr);
    });
}

// Writes bytes in writes of size from one buffer (of source bytes when
// larger, walked through in order, as a frame would be).
measurement run_ideal(long long bytes, size_t size, size_t source) {
    return consume([&]() {
        size_t length = source > size ? source : size;
        std::vector<char> buffer(length, 'x');
        size_t at = 0;
        long long left = bytes;
        while (left > 0) {
            size_t n = left < (long long)size ? (size_t)left : size;
            if (at + n > length) at = 0;
            ssize_t w = write(1, buffer.data() + at, n);
            if (w <= 0) _exit(1);
            left -= w;
            at += (size_t)w;
        }
        _exit(0);
    });
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// hot: the stand-in serves every row from cache-hot memory and leaves audio
// buffers as they are, so only the runner's own work is measured.
std::string write_description(const std::string& dir, const options& o, int frames, bool hot) {
    std::string path = dir + "/bench_" + o.mode + "_" + std::to_string(frames) + (hot ? "_hot" : "") + ".avs";
    FILE* f = fopen(path.c_str(), "wb");
    if (o.mode == "y4m")
        fprintf(f, "width = 1920\nheight = 1080\npixel_type = YV12\nfps = 25/1\nframes = %d\nframe_period = 2\n",
                frames);
    else
        fprintf(f, "frames = 0\naudio_rate = 48000\nsample_type = float\nchannels = 2\naudio_samples = %lld\n",
                (long long)o.seconds * 48000);
    fprintf(f, "hot_memory = %d\n", hot ? 1 : 0);
    fclose(f);
    return path;
}

double gbps(const measurement& m) { return m.bytes / m.seconds / 1e9; }
double cpu_per_gb(const measurement& m) { return m.cpu_seconds / (m.bytes / 1e9); }

// Throughput and CPU seconds per GB of one writer over the runs.
struct series {
    std::vector<double> rates;
    std::vector<double> cpu;
    void add(const measurement& m) {
        rates.push_back(gbps(m));
        cpu.push_back(cpu_per_gb(m));
    }
    double rate() const { return median(rates); }
    double cpu_gb() const { return median(cpu); }
};

// ffmpeg's own y4m muxer writing the same kind of stream, when it is there.
measurement run_ffmpeg(int frames) {
    return consume([&]() {
        std::string count = std::to_string(frames);
        execlp("ffmpeg", "ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "1920x1080", "-i",
               "/dev/zero", "-frames:v", count.c_str(), "-f", "yuv4mpegpipe", "-", (char*)nullptr);
    });
}

bool have_program(const char* name) {
    std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(probe.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            size_t n = strlen(name);
            return a.compare(0, n, name) == 0 ? argv[i] + n : nullptr;
        };
        const char* v;
        if ((v = value("--runner=")) != nullptr) o.runner = v;
        else if ((v = value("--standin=")) != nullptr) o.standin = v;
        else if ((v = value("--mode=")) != nullptr) o.mode = v;
        else if ((v = value("--runs=")) != nullptr) o.runs = atoi(v);
        else if ((v = value("--frames=")) != nullptr) o.frames = atoi(v);
        else if ((v = value("--big-frames=")) != nullptr) o.big_frames = atoi(v);
        else if ((v = value("--seconds=")) != nullptr) o.seconds = atoi(v);
        else if ((v = value("--sizes=")) != nullptr) {
            for (char* p = (char*)v; *p != '\0'; p += *p == ',') o.sizes.push_back(strtoul(p, &p, 10));
        }
        else {
            fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (o.runner.empty() || o.standin.empty() || (o.mode != "y4m" && o.mode != "wav")) {
        fprintf(stderr, "usage: zvk_pipe_bench --runner=PATH --standin=DIR [--mode=y4m|wav] [--runs=N] "
                        "[--frames=N] [--big-frames=N] [--seconds=N] [--sizes=A,B,...]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/zvk_bench.XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string hot_script = write_description(dir, o, o.frames, true);
    std::string real_script = write_description(dir, o, o.frames, false);
    // What the runner reads per frame or step: two 1080p frames, or the
    // library's copy into one audio step's buffer.
    size_t source = o.mode == "y4m" ? 2 * (size_t)(1920 * 1080 * 3 / 2) : (size_t)65536 * 8;
    bool with_ffmpeg = o.mode == "y4m" && have_program("ffmpeg");

    std::vector<size_t> sizes = o.sizes;
    if (sizes.empty())
        for (size_t s = 4096; s <= (1u << 20); s *= 2) sizes.push_back(s);

    series hot_runs, real_runs, walking_runs, ffmpeg_runs;
    std::vector<series> ideal_runs(sizes.size());
    long long bytes = 0;
    long rss_small = 0;
    for (int run = 0; run < o.runs; run++) {
        measurement hot = run_runner(o, hot_script);
        measurement real = run_runner(o, real_script);
        if (hot.status != 0 || real.status != 0) {
            fprintf(stderr, "runner failed with status %d\n", hot.status != 0 ? hot.status : real.status);
            return 1;
        }
        bytes = hot.bytes;
        rss_small = std::max(rss_small, real.max_rss_kib);
        hot_runs.add(hot);
        real_runs.add(real);
        for (size_t s = 0; s < sizes.size(); s++) ideal_runs[s].add(run_ideal(bytes, sizes[s], 0));
        if (with_ffmpeg) ffmpeg_runs.add(run_ffmpeg(o.frames));
    }
    size_t best = 0;
    for (size_t s = 0; s < sizes.size(); s++)
        if (ideal_runs[s].rate() > ideal_runs[best].rate()) best = s;
    for (int run = 0; run < o.runs; run++) walking_runs.add(run_ideal(bytes, sizes[best], source));

    if (o.mode == "y4m")
        printf("runner --y4m, 1920x1080 8-bit 4:2:0, %d frames, %lld bytes, medians of %d runs\n", o.frames, bytes,
               o.runs);
    else
        printf("runner --wav, 2 x float at 48000 Hz, %d s, %lld bytes, medians of %d runs\n", o.seconds, bytes, o.runs);
    for (size_t s = 0; s < sizes.size(); s++)
        printf("  ideal writer, %7zu-byte writes: %6.2f GB/s  %5.3f CPU s/GB\n", sizes[s], ideal_runs[s].rate(),
               ideal_runs[s].cpu_gb());
    double top = ideal_runs[best].rate();
    printf("  runner, library memory cache-hot:  %6.2f GB/s  %5.3f CPU s/GB   ratio to the best ideal writer (%zu): %.3f\n",
           hot_runs.rate(), hot_runs.cpu_gb(), sizes[best], hot_runs.rate() / top);
    printf("  runner, library memory as served:  %6.2f GB/s  %5.3f CPU s/GB   ratio to the best ideal writer: %.3f\n",
           real_runs.rate(), real_runs.cpu_gb(), real_runs.rate() / top);
    printf("  ideal writer walking %zu bytes:  %6.2f GB/s  %5.3f CPU s/GB   ratio runner as served / that: %.3f\n",
           source, walking_runs.rate(), walking_runs.cpu_gb(), real_runs.rate() / walking_runs.rate());
    if (with_ffmpeg)
        printf("  ffmpeg's y4m muxer, same frames:   %6.2f GB/s  %5.3f CPU s/GB   ratio runner cache-hot / ffmpeg: %.3f\n",
               ffmpeg_runs.rate(), ffmpeg_runs.cpu_gb(), hot_runs.rate() / ffmpeg_runs.rate());
    printf("  runner peak resident memory, %d frames: %ld KiB\n", o.frames, rss_small);
    if (o.mode == "y4m" && o.big_frames > 0) {
        measurement big = run_runner(o, write_description(dir, o, o.big_frames, false));
        printf("  runner peak resident memory, %d frames: %ld KiB\n", o.big_frames, big.max_rss_kib);
    }
    std::string cleanup = "rm -rf " + dir;
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}

// Throughput of the runner's streams into a pipe, against an ideal writer
// that writes the same number of bytes from one buffer into the same kind of
// pipe, once per write size from 4 KiB to 1 MiB; the fastest size is the
// ceiling. The consumer, this program, reads and discards. Runs alternate
// between runner and ideal writer and the figures are medians, since the
// machine is shared.
//
//   zvk_pipe_bench --runner=PATH --standin=DIR [--mode=y4m|wav] [--runs=N]
//                  [--frames=N] [--big-frames=N] [--seconds=N] [--sizes=A,B,...]
//                  [--real-library=DIR]
//   zvk_pipe_bench --mode=consumers --runner=PATH --standin=DIR --plain=PATH
//                  [--before=PATH] [--real-library=DIR] [--runs=N] [--frames=N]
//                  [--only=8-bit,10-bit,Blur,16x8] [--tiny-frames=N]
//                  [--consumers=cat,ffmpeg,x264,slow,file,null]
//
// With the real AviSynth+ library (--real-library, the directory that holds
// it), the y4m mode also times a cheap source and a filtered one: fetching
// alone (--validate without a CSV), the runner's whole --y4m run, and how
// well the two overlap: total / max(fetch only, the cheap source's total).
//
// The y4m mode times --mkv on the same frames in the same rounds.
//
// The consumers mode pipes the runner's --y4m stream, and the plain writer's
// (bench/plain_writer.cpp: rows copied into a 4 KiB stdio buffer), into real
// consumers (cat, ffmpeg, x264, and a slow reader that hashes every byte),
// or into a file and the null device, and compares the wall times of the
// whole pipelines and the writers' CPU times: 1080p frames of 8 and 10 bits
// that are not cache-hot, a filtered script, and tiny 16x8 frames. --before adds
// another runner binary (the one before a change) to the same rounds.
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
    std::string real_library;   // directory of a real AviSynth+, or empty
    std::string plain;          // the plain writer, for the consumers mode
    std::string before;         // another runner, for the consumers mode
    std::string only;           // sources of the consumers mode to run; empty: all
    std::string consumers;      // and consumers, by their first word; empty: all
    int tiny_frames = 200000;   // of the consumers mode's 16x8 source
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

// Starts child() with its standard output on the pipe fds and its standard
// error on the null device.
template <typename Child>
pid_t start_writer(const int fds[2], Child child) {
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
    return pid;
}

// Starts child() with its standard output on a pipe, reads the pipe to its
// end and discards the bytes.
template <typename Child>
measurement consume(Child child) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    double start = now_seconds();
    pid_t pid = start_writer(fds, child);
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

measurement run_runner(const options& o, const std::string& script, const std::string& flag = "",
                       const std::string& library = "") {
    return consume([&]() {
        std::string dir = library.empty() ? o.standin + "/complete" : library;
        setenv("LD_LIBRARY_PATH", dir.c_str(), 1);
        unsetenv("ZVK_STANDIN_TRACE");
        std::string option = flag.empty() ? "--" + o.mode : flag;
        execl(o.runner.c_str(), o.runner.c_str(), option.c_str(), script.c_str(), (char*)nullptr);
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
        fprintf(f,
                "width = 1920\nheight = 1080\npixel_type = YV12\nfps = 25/1\nframes = %d\nframe_period = 2\n",
                frames);
    else
        fprintf(f,
                "frames = 0\naudio_rate = 48000\nsample_type = float\nchannels = 2\naudio_samples = %lld\n",
                (long long)o.seconds * 48000);
    fprintf(f, "hot_memory = %d\n", hot ? 1 : 0);
    fclose(f);
    return path;
}

double gbps(const measurement& m) { return m.bytes / m.seconds / 1e9; }
double cpu_per_gb(const measurement& m) { return m.cpu_seconds / (m.bytes / 1e9); }

// Throughput (or time) and CPU seconds per GB of one writer over the runs.
struct series {
    std::vector<double> values;
    std::vector<double> cpu;
    void add(const measurement& m) {
        values.push_back(gbps(m));
        cpu.push_back(cpu_per_gb(m));
    }
    void add_time(const measurement& m) {
        values.push_back(m.seconds);
        cpu.push_back(cpu_per_gb(m));
    }
    double rate() const { return median(values); }
    double seconds() const { return median(values); }
    double cpu_gb() const { return median(cpu); }
};

// ffmpeg's own y4m muxer writing the same kind of stream, when it is there.
measurement run_ffmpeg(int frames) {
    return consume([&]() {
        std::string count = std::to_string(frames);
        execlp("ffmpeg", "ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "1920x1080",
               "-i", "/dev/zero", "-frames:v", count.c_str(), "-f", "yuv4mpegpipe", "-", (char*)nullptr);
    });
}

// Two 1080p scripts of 500 frames for the real library: a cheap source,
// whose run is all writing, and the same through a filter, whose run is
// fetching and writing.
void bench_real_library(const options& o, const std::string& dir) {
    const char* const cheap =
        "ColorBars(width=1920, height=1080, pixel_type=\"YV12\").KillAudio().Trim(0, 499)\n";
    struct {
        const char* name;
        std::string text;
        series fetch, total;
    } scripts[] = {{"ColorBars", cheap, {}, {}},
                   {"ColorBars().Blur(1.0)", std::string(cheap, strlen(cheap) - 1) + ".Blur(1.0)\n", {}, {}}};
    std::vector<std::string> paths;
    for (auto& s : scripts) {
        std::string path = dir + "/real_" + std::to_string(paths.size()) + ".avs";
        FILE* f = fopen(path.c_str(), "wb");
        fputs(s.text.c_str(), f);
        fclose(f);
        paths.push_back(path);
    }
    for (int run = 0; run < o.runs; run++) {
        for (size_t i = 0; i < paths.size(); i++) {
            measurement fetch = run_runner(o, paths[i], "--validate", o.real_library);
            measurement total = run_runner(o, paths[i], "--y4m", o.real_library);
            if (fetch.status != 0 || total.status != 0) {
                fprintf(stderr, "the real library's run of %s failed\n", scripts[i].name);
                return;
            }
            scripts[i].fetch.add_time(fetch);
            scripts[i].total.add_time(total);
        }
    }
    printf("real AviSynth+, 1920x1080 8-bit 4:2:0, 500 frames, medians of %d runs (seconds)\n", o.runs);
    double cheap_total = scripts[0].total.seconds();
    for (auto& s : scripts) {
        double fetch = s.fetch.seconds(), total = s.total.seconds();
        printf("  %-22s fetch only %6.3f s, runner --y4m %6.3f s (%5.3f CPU s/GB), overlap ratio %.3f\n",
               s.name, fetch, total, s.total.cpu_gb(), total / std::max(fetch, cheap_total));
    }
}

bool have_program(const char* name) {
    std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(probe.c_str()) == 0;
}

// The consumers of the consumers mode; each reads standard input to its
// end, with standard output and error on the null device.
struct consumer {
    const char* name;
    std::vector<const char*> command;  // empty: the slow reader below, or a sink
    const char* sink;                  // a file the writer writes itself, or null
};

// A reader slower than the pipe: 4 KiB reads, every byte hashed.
void slow_reader(void) {
    static unsigned char buffer[4096];
    uint32_t hash = 2166136261u;
    for (;;) {
        ssize_t n = read(0, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; i++) hash = (hash ^ buffer[i]) * 16777619u;
    }
    _exit(hash == 0 ? 1 : 0);
}

struct pipeline_result {
    double seconds;
    double writer_cpu_seconds;
    int writer_status;
    int consumer_status;
};

// Runs writer SCRIPT | consumer and times it from the start to the end of
// both.
struct writer {
    std::string path;
    bool runner;  // takes --y4m before the script
};

pipeline_result run_pipeline(const writer& w, const std::string& script, const std::string& library,
                             const consumer& c, const std::string& dir) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    std::string sink_path = c.sink == nullptr ? "" : c.sink[0] == '/' ? c.sink : dir + "/" + c.sink;
    // The last run's file goes before the clock starts: emptying gigabytes
    // of it would be timed as the next writer's work, whichever it is.
    if (!sink_path.empty()) unlink(sink_path.c_str());
    double start = now_seconds();
    pid_t writer_pid = start_writer(fds, [&]() {
        if (!sink_path.empty()) {
            int out = open(sink_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            close(out);
        }
        setenv("LD_LIBRARY_PATH", library.c_str(), 1);
        unsetenv("ZVK_STANDIN_TRACE");
        if (w.runner)
            execl(w.path.c_str(), w.path.c_str(), "--y4m", script.c_str(), (char*)nullptr);
        else
            execl(w.path.c_str(), w.path.c_str(), script.c_str(), (char*)nullptr);
    });
    pid_t consumer_pid = -1;
    if (sink_path.empty()) consumer_pid = fork();
    if (consumer_pid == 0) {
        close(fds[1]);
        dup2(fds[0], 0);
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (c.command.empty()) slow_reader();
        std::vector<const char*> argv = c.command;
        argv.push_back(nullptr);
        execvp(argv[0], (char* const*)argv.data());
        _exit(127);
    }
    close(fds[0]);
    close(fds[1]);
    int writer_status = 0, consumer_status = 0;
    struct rusage usage;
    wait4(writer_pid, &writer_status, 0, &usage);
    if (consumer_pid > 0) waitpid(consumer_pid, &consumer_status, 0);
    pipeline_result r;
    r.seconds = now_seconds() - start;
    r.writer_cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                           usage.ru_stime.tv_usec / 1e6;
    r.writer_status = WIFEXITED(writer_status) ? WEXITSTATUS(writer_status) : -1;
    r.consumer_status = WIFEXITED(consumer_status) ? WEXITSTATUS(consumer_status) : -1;
    return r;
}

// The quartiles of the rounds' runner / plain ratios: how far one pair of
// the row strays from the next.
std::string ratio_spread(const std::vector<double>& runner, const std::vector<double>& plain) {
    std::vector<double> ratios;
    for (size_t i = 0; i < runner.size() && i < plain.size(); i++) ratios.push_back(runner[i] / plain[i]);
    std::sort(ratios.begin(), ratios.end());
    char text[64];
    snprintf(text, sizeof text, "%.2f-%.2f", ratios[ratios.size() / 4], ratios[(3 * ratios.size()) / 4]);
    return text;
}

std::string load_average(void) {
    char text[128] = "";
    FILE* f = fopen("/proc/loadavg", "r");
    if (f != nullptr) {
        if (fgets(text, sizeof text, f) == nullptr) text[0] = '\0';
        fclose(f);
    }
    std::string s = text;
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

bool listed(const std::string& list, const std::string& name) {
    return list.empty() || ("," + list + ",").find("," + name + ",") != std::string::npos;
}

// Runner against plain writer, and the runner before a change, through each
// consumer; rounds interleave every writer of every row, alternating the
// order, and the figures are medians.
int bench_consumers(const options& o) {
    char pattern[] = "/tmp/zvk_bench.XXXXXX";
    std::string dir = mkdtemp(pattern);
    struct source {
        std::string name, text, library;
    };
    std::vector<source> sources;
    bool real = !o.real_library.empty();
    std::string standin = o.standin + "/complete";
    // Not cache-hot: distinct frames in turn, more than the caches hold (16
    // of the stand-in's, made at import; 64 of the real library's).
    auto distinct = [&](const char* type) {
        if (!real)
            return "width = 1920\nheight = 1080\npixel_type = " + std::string(type) +
                   "\nfps = 25/1\nframes = " + std::to_string(o.frames) + "\nframe_period = 16\n";
        // 64 bands of one tall frame that the library makes once, each a
        // frame in turn (cropping copies nothing).
        return "ColorBars(width=1920, height=69120, pixel_type=\"" + std::string(type) +
               "\").KillAudio().Trim(0, 63)"
               ".Animate(0, 63, \"Crop\", 0, 0, 1920, 1080, 0, 68040, 1920, 1080)"
               ".Loop().Trim(0, " +
               std::to_string(o.frames - 1) + ")\n";
    };
    if (listed(o.only, "8-bit"))
        sources.push_back({"8-bit", distinct("YV12"), real ? o.real_library : standin});
    if (listed(o.only, "10-bit"))
        sources.push_back({"10-bit", distinct("YUV420P10"), real ? o.real_library : standin});
    if (listed(o.only, "16x8")) {
        // Tiny frames: the cost of each frame's hand-over and write call,
        // not of its bytes.
        std::string frames = std::to_string(o.tiny_frames);
        sources.push_back(
            {"16x8",
             real ? "ColorBars(width=16, height=8, pixel_type=\"YV12\").KillAudio().Trim(0, " +
                        std::to_string(o.tiny_frames - 1) + ")\n"
                  : "width = 16\nheight = 8\npixel_type = YV12\nfps = 25/1\nframes = " + frames + "\n",
             real ? o.real_library : standin});
    }
    if (real && listed(o.only, "Blur"))
        sources.push_back({"Blur",
                           "ColorBars(width=1920, height=1080, pixel_type=\"YV12\").KillAudio().Trim(0, " +
                               std::to_string(o.frames - 1) + ").Blur(1.0)\n",
                           o.real_library});
    for (size_t i = 0; i < sources.size(); i++) {
        std::string path = dir + "/consumers_" + std::to_string(i) + ".avs";
        FILE* f = fopen(path.c_str(), "wb");
        fputs(sources[i].text.c_str(), f);
        fclose(f);
        sources[i].text = path;
    }
    std::vector<consumer> consumers = {{"cat", {"cat"}, nullptr}};
    if (have_program("ffmpeg"))
        consumers.push_back({"ffmpeg -f null",
                             {"ffmpeg", "-v", "error", "-f", "yuv4mpegpipe", "-i", "-", "-f", "null", "-"},
                             nullptr});
    if (have_program("x264"))
        consumers.push_back(
            {"x264 ultrafast",
             {"x264", "--quiet", "--demuxer", "y4m", "--preset", "ultrafast", "-o", "/dev/null", "-"},
             nullptr});
    consumers.push_back({"slow reader", {}, nullptr});
    // In memory where it can be: the writer's costs, not the disk's.
    static std::string file_sink =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/zvk_bench_stream.y4m" : "stream.y4m";
    consumers.push_back({"file", {}, file_sink.c_str()});
    consumers.push_back({"/dev/null", {}, "/dev/null"});
    for (size_t c = consumers.size(); c-- > 0;) {
        std::string name = consumers[c].name;
        std::string word = name == "/dev/null" ? "null" : name.substr(0, name.find(' '));
        if (!listed(o.consumers, word)) consumers.erase(consumers.begin() + c);
    }
    std::vector<writer> writers = {{o.runner, true}, {o.plain, false}};
    if (!o.before.empty()) writers.push_back({o.before, true});
    // times[source][consumer][writer]: the runs' seconds, and the writer's
    // CPU seconds
    std::vector<std::vector<std::vector<std::vector<double>>>> times(
        sources.size(), std::vector<std::vector<std::vector<double>>>(
                            consumers.size(), std::vector<std::vector<double>>(writers.size())));
    auto cpu = times;
    // The writer sets the pace only where the consumer is fast: the
    // filtered and the tiny sources go to those alone.
    auto consumer_fits = [](const std::string& source, const consumer& c) {
        bool paced_by_consumer = strcmp(c.name, "x264 ultrafast") == 0 || strcmp(c.name, "slow reader") == 0;
        return !paced_by_consumer || (source != "Blur" && source != "16x8");
    };
    std::string load_before = load_average();
    for (int run = 0; run < o.runs; run++) {
        for (size_t s = 0; s < sources.size(); s++) {
            for (size_t c = 0; c < consumers.size(); c++) {
                if (!consumer_fits(sources[s].name, consumers[c])) continue;
                for (size_t k = 0; k < writers.size(); k++) {
                    size_t w = (k + run) % writers.size();
                    pipeline_result r =
                        run_pipeline(writers[w], sources[s].text, sources[s].library, consumers[c], dir);
                    if (r.writer_status != 0 || r.consumer_status != 0) {
                        fprintf(stderr, "%s | %s on %s failed: statuses %d and %d\n", writers[w].path.c_str(),
                                consumers[c].name, sources[s].name.c_str(), r.writer_status,
                                r.consumer_status);
                        return 1;
                    }
                    times[s][c][w].push_back(r.seconds);
                    cpu[s][c][w].push_back(r.writer_cpu_seconds);
                }
            }
        }
        // The table so far: a shared machine may not allow every round.
        printf(
            "%s 1920x1080, %d frames, medians of %d interleaved runs (seconds); load before %s, after %s\n",
            real ? "real AviSynth+" : "stand-in", o.frames, run + 1, load_before.c_str(),
            load_average().c_str());
        printf(
            "| source | consumer | runner | plain writer | runner / plain | pairs' quartiles | runner CPU | "
            "plain CPU |%s\n",
            o.before.empty() ? "" : " runner before | before / plain | before's quartiles | before CPU |");
        printf("|---|---|---|---|---|---|---|---|%s\n", o.before.empty() ? "" : "---|---|---|---|");
        for (size_t s = 0; s < sources.size(); s++) {
            for (size_t c = 0; c < consumers.size(); c++) {
                if (times[s][c][0].empty()) continue;
                double runner = median(times[s][c][0]), plain = median(times[s][c][1]);
                printf("| %s | %s | %.3f | %.3f | %.3f | %s | %.3f | %.3f |", sources[s].name.c_str(),
                       consumers[c].name, runner, plain, runner / plain,
                       ratio_spread(times[s][c][0], times[s][c][1]).c_str(), median(cpu[s][c][0]),
                       median(cpu[s][c][1]));
                if (!o.before.empty()) {
                    double before = median(times[s][c][2]);
                    printf(" %.3f | %.3f | %s | %.3f |", before, before / plain,
                           ratio_spread(times[s][c][2], times[s][c][1]).c_str(), median(cpu[s][c][2]));
                }
                printf("\n");
            }
        }
        fflush(stdout);
    }
    std::string cleanup = "rm -rf " + dir + " /dev/shm/zvk_bench_stream.y4m";
    return system(cleanup.c_str()) == 0 ? 0 : 1;
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
        if ((v = value("--runner=")) != nullptr)
            o.runner = v;
        else if ((v = value("--standin=")) != nullptr)
            o.standin = v;
        else if ((v = value("--mode=")) != nullptr)
            o.mode = v;
        else if ((v = value("--runs=")) != nullptr)
            o.runs = atoi(v);
        else if ((v = value("--frames=")) != nullptr)
            o.frames = atoi(v);
        else if ((v = value("--big-frames=")) != nullptr)
            o.big_frames = atoi(v);
        else if ((v = value("--seconds=")) != nullptr)
            o.seconds = atoi(v);
        else if ((v = value("--real-library=")) != nullptr)
            o.real_library = v;
        else if ((v = value("--plain=")) != nullptr)
            o.plain = v;
        else if ((v = value("--before=")) != nullptr)
            o.before = v;
        else if ((v = value("--only=")) != nullptr)
            o.only = v;
        else if ((v = value("--consumers=")) != nullptr)
            o.consumers = v;
        else if ((v = value("--tiny-frames=")) != nullptr)
            o.tiny_frames = atoi(v);
        else if ((v = value("--sizes=")) != nullptr) {
            for (char* p = (char*)v; *p != '\0'; p += *p == ',') o.sizes.push_back(strtoul(p, &p, 10));
        } else {
            fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (o.mode == "consumers" && !o.plain.empty() && !o.runner.empty() && !o.standin.empty()) {
        signal(SIGPIPE, SIG_IGN);
        return bench_consumers(o);
    }
    if (o.runner.empty() || o.standin.empty() || (o.mode != "y4m" && o.mode != "wav")) {
        fprintf(stderr,
                "usage: zvk_pipe_bench --runner=PATH --standin=DIR [--mode=y4m|wav] [--runs=N] "
                "[--frames=N] [--big-frames=N] [--seconds=N] [--sizes=A,B,...] [--real-library=DIR]\n"
                "       zvk_pipe_bench --mode=consumers --runner=PATH --standin=DIR --plain=PATH "
                "[--before=PATH] [--real-library=DIR] [--runs=N] [--frames=N] [--only=A,B] [--consumers=A,B] "
                "[--tiny-frames=N]\n");
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

    series hot_runs, real_runs, walking_runs, ffmpeg_runs, mkv_runs;
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
        // The Matroska stream of the same frames, paired with the Y4M run.
        if (o.mode == "y4m") mkv_runs.add(run_runner(o, real_script, "--mkv"));
        for (size_t s = 0; s < sizes.size(); s++) ideal_runs[s].add(run_ideal(bytes, sizes[s], 0));
        if (with_ffmpeg) ffmpeg_runs.add(run_ffmpeg(o.frames));
    }
    size_t best = 0;
    for (size_t s = 0; s < sizes.size(); s++)
        if (ideal_runs[s].rate() > ideal_runs[best].rate()) best = s;
    for (int run = 0; run < o.runs; run++) walking_runs.add(run_ideal(bytes, sizes[best], source));

    if (o.mode == "y4m")
        printf("runner --y4m, 1920x1080 8-bit 4:2:0, %d frames, %lld bytes, medians of %d runs\n", o.frames,
               bytes, o.runs);
    else
        printf("runner --wav, 2 x float at 48000 Hz, %d s, %lld bytes, medians of %d runs\n", o.seconds,
               bytes, o.runs);
    for (size_t s = 0; s < sizes.size(); s++)
        printf("  ideal writer, %7zu-byte writes: %6.2f GB/s  %5.3f CPU s/GB\n", sizes[s],
               ideal_runs[s].rate(), ideal_runs[s].cpu_gb());
    double top = ideal_runs[best].rate();
    printf(
        "  runner, library memory cache-hot:  %6.2f GB/s  %5.3f CPU s/GB   ratio to the best ideal writer "
        "(%zu): %.3f\n",
        hot_runs.rate(), hot_runs.cpu_gb(), sizes[best], hot_runs.rate() / top);
    printf(
        "  runner, library memory as served:  %6.2f GB/s  %5.3f CPU s/GB   ratio to the best ideal writer: "
        "%.3f\n",
        real_runs.rate(), real_runs.cpu_gb(), real_runs.rate() / top);
    if (o.mode == "y4m") {
        auto range = std::minmax_element(real_runs.values.begin(), real_runs.values.end());
        printf(
            "  runner --mkv, the same as served:  %6.2f GB/s  %5.3f CPU s/GB   ratio to --y4m: %.3f (--y4m "
            "runs "
            "%.2f to %.2f GB/s)\n",
            mkv_runs.rate(), mkv_runs.cpu_gb(), mkv_runs.rate() / real_runs.rate(), *range.first,
            *range.second);
    }
    printf(
        "  ideal writer walking %zu bytes:  %6.2f GB/s  %5.3f CPU s/GB   ratio runner as served / that: "
        "%.3f\n",
        source, walking_runs.rate(), walking_runs.cpu_gb(), real_runs.rate() / walking_runs.rate());
    if (with_ffmpeg)
        printf(
            "  ffmpeg's y4m muxer, same frames:   %6.2f GB/s  %5.3f CPU s/GB   ratio runner cache-hot / "
            "ffmpeg: %.3f\n",
            ffmpeg_runs.rate(), ffmpeg_runs.cpu_gb(), hot_runs.rate() / ffmpeg_runs.rate());
    printf("  runner peak resident memory, %d frames: %ld KiB\n", o.frames, rss_small);
    if (o.mode == "y4m" && o.big_frames > 0) {
        measurement big = run_runner(o, write_description(dir, o, o.big_frames, false));
        printf("  runner peak resident memory, %d frames: %ld KiB\n", o.big_frames, big.max_rss_kib);
    }
    if (o.mode == "y4m" && !o.real_library.empty()) bench_real_library(o, dir);
    std::string cleanup = "rm -rf " + dir + " /dev/shm/zvk_bench_stream.y4m";
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}

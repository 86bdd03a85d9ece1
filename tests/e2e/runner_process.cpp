#include "runner_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

e2e_config e2e;

std::string read_file(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = read_file(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

void write_file(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
        perror(path.c_str());
        abort();
    }
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

static double now_seconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Takes the request's mid-run action once its condition holds, and only
// while the runner has not ended.
static void act_when_due(const run_request& request, pid_t pid, bool exited, run_result* result) {
    if (!request.when || result->acted || exited) return;
    if (!request.when(result->out, result->err)) return;
    siginfo_t info = {};
    if (waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0) return;
    result->acted = true;
    if (!request.file_to_create.empty()) write_file(request.file_to_create, "");
    if (request.signal_to_send != 0) kill(pid, request.signal_to_send);
    if (request.second_signal_after_ms > 0) {
        usleep((useconds_t)request.second_signal_after_ms * 1000);
        kill(pid, request.signal_to_send);
    }
}

run_result run_process(const run_request& request) {
    run_result result;
    if (!request.trace_path.empty()) unlink(request.trace_path.c_str());

    int out_pipe[2] = {-1, -1};
    int err_pipe[2];
    if (request.out_mode == STDOUT_CAPTURE || request.out_mode == STDOUT_CLOSE_AFTER) {
        if (pipe(out_pipe) != 0) abort();
#if defined(F_SETPIPE_SZ)
        if (request.pipe_size > 0) fcntl(out_pipe[0], F_SETPIPE_SZ, request.pipe_size);
#endif
    }
    if (request.stderr_terminal) {
        err_pipe[0] = posix_openpt(O_RDWR | O_NOCTTY);
        if (err_pipe[0] < 0 || grantpt(err_pipe[0]) != 0 || unlockpt(err_pipe[0]) != 0) abort();
        err_pipe[1] = open(ptsname(err_pipe[0]), O_RDWR | O_NOCTTY);
        struct termios mode;
        if (err_pipe[1] < 0 || tcgetattr(err_pipe[1], &mode) != 0) abort();
        cfmakeraw(&mode);
        tcsetattr(err_pipe[1], TCSANOW, &mode);
        if (request.terminal_columns > 0) {
            struct winsize size = {};
            size.ws_row = 24;
            size.ws_col = (unsigned short)request.terminal_columns;
            ioctl(err_pipe[1], TIOCSWINSZ, &size);
        }
    } else if (pipe(err_pipe) != 0) {
        abort();
    }

    std::vector<std::string> argv_text = e2e.launcher;
    argv_text.push_back(request.runner.empty() ? e2e.runner : request.runner);
    argv_text.insert(argv_text.end(), request.args.begin(), request.args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    std::string library_dir =
        request.library_dir.empty() ? e2e.standin_dir + "/" + request.variant : request.library_dir;

    pid_t pid = fork();
    if (pid < 0) abort();
    if (pid == 0) {
        // The runner starts with the stop signals at their defaults, as from
        // a terminal, even where the suite itself runs under nohup: a stop
        // ignored from the start is kept ignored, and would be no test.
        for (int signo : {SIGINT, SIGTERM, SIGHUP}) signal(signo, SIG_DFL);
        if (e2e.platform == "windows") {
            // LoadLibraryA searches PATH after the program's and the system's
            // directories; Wine takes PATH additions from WINEPATH.
            setenv("WINEPATH", library_dir.c_str(), 1);
            if (getenv("WINEDEBUG") == nullptr) setenv("WINEDEBUG", "-all", 1);
        } else {
            setenv("LD_LIBRARY_PATH", library_dir.c_str(), 1);
            setenv("DYLD_LIBRARY_PATH", library_dir.c_str(), 1);
        }
        if (request.trace_path.empty())
            unsetenv("ZVK_STANDIN_TRACE");
        else
            setenv("ZVK_STANDIN_TRACE", request.trace_path.c_str(), 1);
        unsetenv("ZVK_STANDIN_FAIL");
        for (const std::string& setting : request.env) putenv(strdup(setting.c_str()));
        if (request.memory_limit > 0) {
            struct rlimit limit = {(rlim_t)request.memory_limit, (rlim_t)request.memory_limit};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (request.file_size_limit > 0) {
            // SIGXFSZ keeps its default action here: the runner itself must
            // turn an over-limit write into a failed write.
            struct rlimit limit = {(rlim_t)request.file_size_limit, (rlim_t)request.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (request.unprivileged && getuid() == 0) {
            // Permissions bind root only in name: become nobody.
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
        }
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        if (request.out_mode == STDOUT_CLOSED) {
            close(1);
        } else if (request.out_mode == STDOUT_FULL) {
            int full = open("/dev/full", O_WRONLY);
            dup2(full, 1);
        } else if (request.out_mode == STDOUT_FILE || request.out_mode == STDOUT_READ_ONLY) {
            int flags = request.out_mode == STDOUT_FILE ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY | O_CREAT;
            int file = open(request.out_path.c_str(), flags, 0644);
            if (file < 0) _exit(126);
            dup2(file, 1);
        } else {
            dup2(out_pipe[1], 1);
            close(out_pipe[0]);
            close(out_pipe[1]);
        }
        dup2(err_pipe[1], 2);
        close(err_pipe[0]);
        close(err_pipe[1]);
        execvp(argv[0], argv.data());
        fprintf(stderr, "exec %s: %s\n", argv[0], strerror(errno));
        _exit(127);
    }

    if (out_pipe[1] >= 0) close(out_pipe[1]);
    close(err_pipe[1]);
    int out_fd = out_pipe[0];
    int err_fd = err_pipe[0];
    double started = now_seconds();
    double deadline = started + request.timeout_seconds;
    char buffer[1 << 16];
    size_t read_size =
        request.read_chunk > 0 && request.read_chunk < sizeof buffer ? request.read_chunk : sizeof buffer;
    int wstatus = 0;
    bool exited = false;
    // Reads until both pipes end or the runner has ended and its pipes are
    // drained: processes it started (Wine's services) may hold them open.
    while (out_fd >= 0 || err_fd >= 0) {
        struct pollfd fds[2];
        int n = 0;
        if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
        if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
        if (now_seconds() > deadline) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        int ready = poll(fds, n, exited ? 0 : 50);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            if (exited) break;
            exited = waitpid(pid, &wstatus, WNOHANG) == pid;
            // A condition on something else than the output (a file).
            act_when_due(request, pid, exited, &result);
            continue;
        }
        for (int i = 0; i < n; i++) {
            if (fds[i].revents == 0) continue;
            bool is_out = fds[i].fd == out_fd;
            ssize_t got = read(fds[i].fd, buffer, is_out ? read_size : sizeof buffer);
            if (is_out && got > 0 && request.read_pause_ms > 0)
                usleep((useconds_t)request.read_pause_ms * 1000);
            if (got <= 0) {
#if defined(F_GETPIPE_SZ)
                if (is_out) result.pipe_size = fcntl(out_fd, F_GETPIPE_SZ);
#endif
                close(fds[i].fd);
                (is_out ? out_fd : err_fd) = -1;
                continue;
            }
            if (!is_out) {
                result.err.append(buffer, (size_t)got);
                result.err_arrivals.push_back({now_seconds() - started, result.err.size()});
                act_when_due(request, pid, exited, &result);
                continue;
            }
            if (request.out_mode == STDOUT_CLOSE_AFTER) {
                size_t room = request.close_after - result.out.size();
                result.out.append(buffer, (size_t)got < room ? (size_t)got : room);
                if (result.out.size() >= request.close_after) {
                    close(out_fd);
                    out_fd = -1;
                }
            } else {
                result.out.append(buffer, (size_t)got);
                result.out_arrivals.push_back({now_seconds() - started, result.out.size()});
                act_when_due(request, pid, exited, &result);
                if (result.out.size() > request.max_output) {
                    result.runaway = true;
                    kill(pid, SIGKILL);
                    close(out_fd);
                    out_fd = -1;
                }
            }
        }
    }
    if (out_fd >= 0) close(out_fd);
    if (err_fd >= 0) close(err_fd);

    while (!exited) {
        pid_t done = waitpid(pid, &wstatus, result.timed_out ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (now_seconds() > deadline) {
            result.timed_out = true;
            kill(pid, SIGKILL);
        } else {
            usleep(1000);
        }
    }
    if (WIFEXITED(wstatus) && !result.timed_out) result.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    if (!request.trace_path.empty()) result.trace = read_lines(request.trace_path);
    return result;
}

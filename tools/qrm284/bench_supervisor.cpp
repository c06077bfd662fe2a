#include "tools/qrm284/bench_supervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

namespace qrm284 {

namespace {

std::vector<std::string> commandLine;

// A worker's line longer than this is no line of ours: it is dropped.
constexpr size_t MaxLine = 64 * 1024;
constexpr size_t MaxErrorText = 400;

volatile std::sig_atomic_t interruptSignal = 0;
void OnInterrupt(int signalNumber) { interruptSignal = signalNumber; }

struct Worker {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    std::string outLine;
    std::string errLine;
    bool outDropping = false;   // the rest of an over-long line
    bool errDropping = false;
    bool signalled = false;
    WorkerOutcome outcome;
};

std::string ProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string("qrm284");
}

bool Start(Worker& worker, const std::string& program, const std::string& location,
           const std::vector<std::string>& arguments) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    std::vector<std::string> argv{program, "--device", location};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (auto& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A group of its own: Ctrl-C at the terminal reaches the supervisor
        // alone, which passes it on when the worker may be interrupted.
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return false;
    }
    worker.pid = pid;
    worker.out = outPipe[0];
    worker.err = errPipe[0];
    worker.outcome.started = true;
    return true;
}

// Takes the complete lines from what arrived; false at the end of the stream.
template <class OnLine>
bool ReadLines(int& fd, std::string& pending, bool& dropping, OnLine onLine) {
    char buffer[16384];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
        return true;
    }
    if (count <= 0) {
        ::close(fd);
        fd = -1;
        if (!pending.empty() && !dropping) {
            onLine(pending);
        }
        pending.clear();
        return false;
    }
    for (ssize_t i = 0; i < count; ++i) {
        if (buffer[i] == '\n') {
            if (!dropping) {
                onLine(pending);
            }
            pending.clear();
            dropping = false;
        } else if (pending.size() >= MaxLine) {
            dropping = true;
            pending.clear();
        } else if (!dropping) {
            pending.push_back(buffer[i]);
        }
    }
    return true;
}

void Reap(Worker& worker) {
    int status = 0;
    rusage usage{};
    while (::wait4(worker.pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    worker.outcome.peakRssKiB = static_cast<uint64_t>(usage.ru_maxrss);
    worker.outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    worker.pid = -1;
}

class HeldSignals {
public:
    HeldSignals() {
        interruptSignal = 0;
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &held, &previousMask_);
        waitMask_ = previousMask_;
        sigdelset(&waitMask_, SIGINT);
        sigdelset(&waitMask_, SIGTERM);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInt_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~HeldSignals() {
        ::sigaction(SIGINT, &previousInt_, nullptr);
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
        ::sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
    const sigset_t& WaitMask() const { return waitMask_; }

private:
    sigset_t previousMask_{};
    sigset_t waitMask_{};
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

} // namespace

void KeepCommandLine(int argc, char** argv) { commandLine.assign(argv + 1, argv + argc); }

std::vector<std::string> WorkerArguments() {
    std::vector<std::string> arguments;
    bool json = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        const std::string& argument = commandLine[i];
        if (argument == "--all") {
            continue;
        }
        if (argument == "--jobs" || argument == "--device") {
            ++i;   // and its value
            continue;
        }
        if (argument.starts_with("--jobs=") || argument.starts_with("--device=")) {
            continue;
        }
        json = json || argument == "--json";
        arguments.push_back(argument);
    }
    if (!json) {
        arguments.push_back("--json");
    }
    return arguments;
}

std::vector<WorkerOutcome> RunOnEveryPlayer(const std::vector<std::string>& locations,
                                            const std::vector<std::string>& arguments, unsigned jobs,
                                            const BenchHandlers& handlers) {
    if (commandLine.empty()) {
        // Not started as the program (a test runs the commands in its own
        // process): this executable is no qrm284 to start as a worker.
        std::vector<WorkerOutcome> outcomes(locations.size());
        for (size_t index = 0; index < outcomes.size(); ++index) {
            outcomes[index] = {false, 1, "no worker program: qrm284's command line was not kept", 0};
            if (handlers.onEnd) {
                handlers.onEnd(index, outcomes[index]);
            }
        }
        return outcomes;
    }
    const std::string program = ProgramPath();
    HeldSignals signals;
    std::vector<Worker> workers(locations.size());
    size_t next = 0;
    size_t running = 0;
    bool interrupted = false;
    const auto mayStart = [&] { return !interrupted && next < workers.size() && (jobs == 0 || running < jobs); };
    const auto end = [&](size_t index) {
        if (handlers.onEnd) {
            handlers.onEnd(index, workers[index].outcome);
        }
    };
    while (true) {
        while (mayStart()) {
            const size_t index = next++;
            if (Start(workers[index], program, locations[index], arguments)) {
                ++running;
            } else {
                workers[index].outcome.lastError = std::string("cannot start a worker: ") + std::strerror(errno);
                workers[index].outcome.status = 1;
                end(index);
            }
        }
        if (interruptSignal != 0 && !interrupted) {
            interrupted = true;
            if (handlers.onInterrupt) {
                handlers.onInterrupt();
            }
        }
        if (interrupted) {
            for (size_t index = 0; index < workers.size(); ++index) {
                Worker& worker = workers[index];
                if (worker.pid > 0 && !worker.signalled && !(handlers.busy && handlers.busy(index))) {
                    ::kill(worker.pid, SIGINT);
                    worker.signalled = true;
                }
            }
        }
        if (running == 0) {
            break;
        }
        std::vector<pollfd> fds;
        std::vector<std::pair<size_t, bool>> owners;   // worker, stderr
        for (size_t index = 0; index < workers.size(); ++index) {
            if (workers[index].out >= 0) {
                fds.push_back({workers[index].out, POLLIN, 0});
                owners.emplace_back(index, false);
            }
            if (workers[index].err >= 0) {
                fds.push_back({workers[index].err, POLLIN, 0});
                owners.emplace_back(index, true);
            }
        }
        const int ready = ::ppoll(fds.data(), fds.size(), nullptr, &signals.WaitMask());
        if (ready <= 0) {
            continue;   // a signal: looked at above
        }
        for (size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const auto [index, isError] = owners[i];
            Worker& worker = workers[index];
            if (isError) {
                // The last message whole: "qrm284: " begins one, other lines go on with it.
                ReadLines(worker.err, worker.errLine, worker.errDropping, [&worker](const std::string& line) {
                    std::string& text = worker.outcome.lastError;
                    if (line.starts_with("qrm284: ")) {
                        text = line.substr(8);
                    } else if (!line.empty()) {
                        text += (text.empty() ? "" : " ") + line;
                    }
                    if (text.size() > MaxErrorText) {
                        text.resize(MaxErrorText);
                    }
                });
            } else {
                ReadLines(worker.out, worker.outLine, worker.outDropping, [&](const std::string& line) {
                    const auto object = nlohmann::json::parse(line, nullptr, false);
                    if (!object.is_discarded() && object.is_object() && handlers.onLine) {
                        handlers.onLine(index, object);
                    }
                });
            }
            if (worker.out < 0 && worker.err < 0 && worker.pid > 0) {
                Reap(worker);
                --running;
                end(index);
            }
        }
    }
    // Those never started after Ctrl-C.
    for (size_t index = next; index < workers.size(); ++index) {
        workers[index].outcome.lastError = "not started: interrupted";
        workers[index].outcome.status = 130;
        end(index);
    }
    std::vector<WorkerOutcome> outcomes;
    for (const Worker& worker : workers) {
        outcomes.push_back(worker.outcome);
    }
    return outcomes;
}

int WorstStatus(const std::vector<WorkerOutcome>& outcomes) {
    int worst = 0;
    for (const WorkerOutcome& outcome : outcomes) {
        worst = std::max(worst, outcome.status);
    }
    return worst;
}

void AddAllOption(CLI::App* command, bool& all, unsigned& jobs, const char* what) {
    command->add_flag("--all", all, std::string("Every connected player at once, each in a process of its own: ") + what);
    command->add_option("--jobs", jobs, "With --all: at most this many players at a time (default: all)")
        ->check(CLI::PositiveNumber);
}

} // namespace qrm284

#include "tests/integration/usbip/sim_server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace usbiptest {

SimServerProcess::SimServerProcess(std::vector<std::string> options, uint16_t port, bool verbose) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvx512-sim-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    folder_ = pattern;
    const std::string portFile = PathOf("port");
    std::vector<std::string> arguments{KVX512_SIM_PROGRAM, "--port", std::to_string(port), "--port-file", portFile};
    if (verbose) {
        arguments.push_back("--verbose");
    }
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string log = PathOf("server.log");

    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    for (int tries = 0; tries < 400 && pid_ > 0; ++tries) {
        std::ifstream file(portFile);
        unsigned value = 0;
        if (file >> value) {
            port_ = static_cast<uint16_t>(value);
            return;
        }
        // Refused its options: no use waiting for a port.
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

SimServerProcess::~SimServerProcess() {
    Stop(SIGKILL);
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

int SimServerProcess::Stop(int signal) {
    if (pid_ <= 0) {
        return exitStatus_;
    }
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SimServerProcess::Log() const {
    std::ifstream file(folder_ + "/server.log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace usbiptest

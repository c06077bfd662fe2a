// One kvx512-sim process for a test: started on a free loopback port (or a
// given one), its output in a log file, stopped when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace usbiptest {

class SimServerProcess {
public:
    // Starts kvx512-sim with the given options (and --verbose unless told
    // otherwise); port 0 lets it pick one.
    explicit SimServerProcess(std::vector<std::string> options = {}, uint16_t port = 0, bool verbose = true);
    ~SimServerProcess();
    SimServerProcess(const SimServerProcess&) = delete;
    SimServerProcess& operator=(const SimServerProcess&) = delete;

    bool Started() const { return port_ != 0; }
    uint16_t Port() const { return port_; }
    std::string Url() const { return "usbip://127.0.0.1:" + std::to_string(port_); }
    // Sends the signal and waits for the end; the exit status, or -1 when a signal ended it.
    int Stop(int signal);
    // What the server printed: connections and the player's transcript.
    std::string Log() const;
    // A file in the process's own temporary folder.
    std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }

private:
    pid_t pid_ = -1;
    int exitStatus_ = -1;   // once it ended before listening
    uint16_t port_ = 0;
    std::string folder_;
};

} // namespace usbiptest

// The kvx512-sim process the libportio.so tests of this program reach through
// KVX512_USB: one per process, since the backend is chosen once per process.
#pragma once

#include "tests/integration/usbip/sim_server_process.h"

#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace usbiptest {

class PortioServerProcess {
public:
    PortioServerProcess();
    ~PortioServerProcess();

    // Starts the server (on a free port the first time, on the same port
    // after), with a state file of its own and the given further options.
    bool Start(std::vector<std::string> options = {});
    bool Running() const { return process_ != nullptr && process_->Started(); }
    std::string Url() const { return "usbip://127.0.0.1:" + std::to_string(port_); }
    // Ends the server without warning, as a crash would.
    void Kill();
    // Stops the server with the signal (if it still runs) and starts it again
    // on the same port with the same state file and the given options.
    bool Restart(int signal = SIGKILL, std::vector<std::string> options = {});

private:
    std::unique_ptr<SimServerProcess> process_;
    uint16_t port_ = 0;
    std::string folder_;
};

PortioServerProcess& PortioServer();

} // namespace usbiptest

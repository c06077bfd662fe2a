#include "tests/integration/usbip/portio_server.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace usbiptest {

PortioServerProcess::PortioServerProcess() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvx512-sim-state-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        folder_ = pattern;
    }
}

PortioServerProcess::~PortioServerProcess() {
    process_.reset();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool PortioServerProcess::Start(std::vector<std::string> options) {
    options.insert(options.end(), {"--state-file", folder_ + "/storage"});
    process_ = std::make_unique<SimServerProcess>(std::move(options), port_);
    if (!process_->Started()) {
        return false;
    }
    port_ = process_->Port();
    return true;
}

void PortioServerProcess::Kill() {
    if (process_) {
        process_->Stop(SIGKILL);
    }
}

bool PortioServerProcess::Restart(int signal, std::vector<std::string> options) {
    if (process_) {
        process_->Stop(signal);
    }
    return Start(std::move(options));
}

PortioServerProcess& PortioServer() {
    static PortioServerProcess server;
    return server;
}

} // namespace usbiptest

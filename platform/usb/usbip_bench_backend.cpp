// Several USB/IP servers as one backend (KVX512_USB="usbip://bench1 usbip://bench2"):
// every server's players, each at a location that names its server
// ("bench1/1-1"). Each server keeps a backend of its own; a choice narrows
// the one it names to that bus ID and hides every other.
#include "platform/usb/usb_driver.h"

#include <mutex>
#include <optional>
#include <sstream>

namespace platform::usb {

namespace {

// Never a bus ID (they hold no slash): shows a server's backend nothing.
constexpr const char* NothingChosen = "/";

struct Server {
    std::string name;   // HOST[:PORT] as the URL gives it
    std::unique_ptr<Backend> backend;
};

class UsbipBenchBackend final : public Backend {
public:
    explicit UsbipBenchBackend(std::vector<Server> servers) : servers_(std::move(servers)) {}

    DriverHandle OpenDriver() override {
        std::lock_guard lock(mutex_);
        if (!current_) {
            // Without a choice, the first server with a player, as one server offers its first.
            current_ = 0;
            for (size_t index = 0; index < servers_.size(); ++index) {
                if (!servers_[index].backend->ListLocations().empty()) {
                    current_ = index;
                    break;
                }
            }
        }
        return servers_[*current_].backend->OpenDriver();
    }

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> present;
        for (const Server& server : servers_) {
            auto devices = server.backend->ListPresentDevices();
            present.insert(present.end(), devices.begin(), devices.end());
        }
        return present;
    }

    std::vector<DeviceLocation> ListLocations() override {
        std::vector<DeviceLocation> locations;
        for (const Server& server : servers_) {
            for (DeviceLocation location : server.backend->ListLocations()) {
                location.id = server.name + "/" + location.id;
                locations.push_back(std::move(location));
            }
        }
        return locations;
    }

protected:
    void OnChosen(const std::string& locationId) override {
        std::lock_guard lock(mutex_);
        current_.reset();
        const size_t slash = locationId.rfind('/');
        const std::string serverName = slash == std::string::npos ? std::string() : locationId.substr(0, slash);
        for (size_t index = 0; index < servers_.size(); ++index) {
            Server& server = servers_[index];
            if (locationId.empty()) {
                server.backend->Choose({});
            } else if (server.name == serverName) {
                server.backend->Choose(locationId.substr(slash + 1));
                current_ = index;
            } else {
                server.backend->Choose(NothingChosen);
            }
        }
        if (!locationId.empty() && !current_) {
            current_ = 0;   // a location on no server: the first server, showing nothing
        }
    }

private:
    std::mutex mutex_;
    std::vector<Server> servers_;
    std::optional<size_t> current_;   // the server the driver reaches
};

// "usbip://HOST[:PORT][/BUSID]" -> "HOST[:PORT]".
std::string ServerName(const std::string& url) {
    const std::string authority = url.substr(std::string("usbip://").size());
    return authority.substr(0, authority.find('/'));
}

} // namespace

std::unique_ptr<Backend> MakeUsbipBenchBackend(std::string_view urls) {
    std::istringstream words{std::string(urls)};
    std::vector<Server> servers;
    std::string url;
    while (words >> url) {
        auto backend = MakeUsbipBackend(url);
        if (!backend) {
            return nullptr;
        }
        const std::string name = ServerName(url);
        for (const Server& server : servers) {
            if (server.name == name) {
                return nullptr;   // two servers under one name could not be told apart
            }
        }
        servers.push_back({name, std::move(backend)});
    }
    if (servers.size() < 2) {
        return nullptr;
    }
    return std::make_unique<UsbipBenchBackend>(std::move(servers));
}

} // namespace platform::usb

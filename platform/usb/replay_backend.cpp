// KVX512_USB=replay:FILE: answers every request of the seam from a recording
// (usb_recording.h), in order. The first request that differs from the
// recorded one is reported with both, and it and every later one fail as
// with a missing driver, so that the program ends as it would without a player.
#include "platform/usb/transport_error.h"
#include "platform/usb/usb_recording.h"

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::usb {

namespace {

using namespace recording;

// What a request asked, shortened for a person: long data cut at 64 digits.
std::string Shown(nlohmann::json request) {
    for (const char* key : {"out", "in"}) {
        if (request.contains(key) && request[key].is_string() && request[key].get<std::string>().size() > 64) {
            request[key] = request[key].get<std::string>().substr(0, 64) + "...";
        }
    }
    return request.dump();
}

// A recorded line's request fields: all but the outcome and the time.
nlohmann::json RequestOf(nlohmann::json line) {
    for (const char* key : {"t", "status", "moved", "in", "ids", "number", "text", "list", "completed", "counts"}) {
        line.erase(key);
    }
    return line;
}

// Copies recorded IN bytes into the caller's buffer, never past `room`.
uint32_t Fill(const nlohmann::json& hex, uint8_t* buffer, uint32_t room) {
    std::string bytes;
    if (buffer == nullptr || !hex.is_string() || !FromHex(hex.get<std::string>(), bytes)) {
        return 0;
    }
    const auto count = static_cast<uint32_t>(std::min<size_t>(bytes.size(), room));
    std::copy_n(bytes.data(), count, buffer);
    return count;
}

template <class Value>
Value Field(const nlohmann::json& line, const char* key, Value otherwise) {
    const auto found = line.find(key);
    if (found == line.end()) {
        return otherwise;
    }
    try {
        return found->get<Value>();
    } catch (const nlohmann::json::exception&) {
        return otherwise;
    }
}

class ReplayBackend;

class ReplayDriver final : public Driver {
public:
    explicit ReplayDriver(ReplayBackend& backend) : backend_(backend) {}

private:
    DriverVersion QueryVersion() override;
    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) override;
    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) override;
    TransferResult SubmitBulk(const BulkRequest& request) override;
    BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& request) override;
    TransferResult SubmitControl(const ControlRequest& request) override;
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) override;

    ReplayBackend& backend_;
};

class ReplayBackend final : public Backend {
public:
    explicit ReplayBackend(std::string_view file) {
        std::ifstream in{std::string(file)};
        if (!in) {
            std::fprintf(stderr, "kvx512: replay: the recording cannot be read.\n");
            failed_ = true;
            return;
        }
        for (std::string text; std::getline(in, text);) {
            if (text.empty()) {
                continue;
            }
            auto line = nlohmann::json::parse(text, nullptr, false);
            if (line.is_discarded() || !line.is_object() || !line.contains("op")) {
                std::fprintf(stderr, "kvx512: replay: line %zu of the recording is no request.\n", lines_.size() + 1);
                failed_ = true;
                return;
            }
            lines_.push_back(std::move(line));
        }
    }

    DriverHandle OpenDriver() override {
        std::lock_guard lock(mutex_);
        if (failed_) {
            return nullptr;
        }
        if (next_ < lines_.size() && lines_[next_]["op"] == "open") {
            ++next_;   // the recorded program found no driver here
            return nullptr;
        }
        return SharedDriverHandle(driver_);
    }

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> devices;
        if (const auto line = Next(DevicesRequest())) {
            for (const auto& device : Field(*line, "list", nlohmann::json::array())) {
                devices.push_back({Field<std::string>(device, "instance", ""), Field<std::string>(device, "class", "")});
            }
        }
        return devices;
    }

    std::vector<DeviceLocation> ListLocations() override {
        std::vector<DeviceLocation> locations;
        if (const auto line = Next(LocationsRequest())) {
            for (const auto& at : Field(*line, "list", nlohmann::json::array())) {
                locations.push_back({Field<std::string>(at, "location", ""), Field<uint16_t>(at, "vendor", 0),
                                     Field<uint16_t>(at, "product", 0), Field<uint32_t>(at, "id", 0)});
            }
        }
        return locations;
    }

    // The recorded line for this request, or none once the replay has
    // parted from the recording (told once, naming both requests).
    std::optional<nlohmann::json> Next(const nlohmann::json& request) {
        std::lock_guard lock(mutex_);
        if (failed_) {
            return std::nullopt;
        }
        if (next_ >= lines_.size()) {
            std::fprintf(stderr, "kvx512: replay: request %zu is past the end of the recording: asked %s\n",
                         next_ + 1, Shown(request).c_str());
            SetTransportError("The recording ends before this command's request " + std::to_string(next_ + 1) + ".");
            failed_ = true;
            return std::nullopt;
        }
        const nlohmann::json recorded = RequestOf(lines_[next_]);
        if (recorded != request) {
            std::fprintf(stderr, "kvx512: replay: request %zu differs from the recording: recorded %s, asked %s\n",
                         next_ + 1, Shown(recorded).c_str(), Shown(request).c_str());
            SetTransportError("This command asks other requests of the player than the recording holds (request " +
                              std::to_string(next_ + 1) + ").");
            failed_ = true;
            return std::nullopt;
        }
        return lines_[next_++];
    }

private:
    std::mutex mutex_;
    std::vector<nlohmann::json> lines_;
    size_t next_ = 0;
    bool failed_ = false;
    ReplayDriver driver_{*this};
};

TransferResult Outcome(const nlohmann::json& line, uint32_t moved) {
    return {StatusNamed(Field<std::string>(line, "status", "")), moved, nullptr};
}

DriverVersion ReplayDriver::QueryVersion() {
    const auto line = backend_.Next(VersionRequest());
    if (!line) {
        return {};
    }
    return {StatusNamed(Field<std::string>(*line, "status", "")), Field<uint32_t>(*line, "number", 0),
            Field<std::string>(*line, "text", "")};
}

ScanResult ReplayDriver::ScanDevices(uint16_t vendorId, uint16_t productId) {
    const auto line = backend_.Next(ScanRequest(vendorId, productId));
    if (!line) {
        return {Status::Failed, {}};
    }
    auto ids = Field(*line, "ids", std::vector<uint32_t>{});
    std::erase(ids, 0u);
    return {StatusNamed(Field<std::string>(*line, "status", "")), std::move(ids)};
}

Status ReplayDriver::SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
    const auto line = backend_.Next(SetInterfaceRequest(uniqueId, interfaceNumber, alternateSetting));
    return line ? StatusNamed(Field<std::string>(*line, "status", "")) : Status::Failed;
}

TransferResult ReplayDriver::SubmitBulk(const BulkRequest& request) {
    const auto line = backend_.Next(BulkRequestJson(request));
    if (!line) {
        return {Status::Failed, 0, nullptr};
    }
    const uint32_t moved = (request.endpoint & 0x80) != 0 ? Fill(Field(*line, "in", nlohmann::json()), request.buffer, request.size)
                                                          : std::min(Field<uint32_t>(*line, "moved", 0), request.size);
    return Outcome(*line, moved);
}

BulkQueueResult ReplayDriver::SubmitBulkQueue(const BulkQueueRequest& request) {
    const auto line = backend_.Next(QueueRequestJson(request));
    if (!line) {
        return {0, {Status::Failed, 0, nullptr}};
    }
    const auto completed = std::min(Field<uint32_t>(*line, "completed", 0), request.count);
    const auto counts = Field(*line, "counts", std::vector<uint32_t>{});
    const auto pieces = Field(*line, "in", nlohmann::json::array());
    for (uint32_t i = 0; i < completed; ++i) {
        uint32_t moved = i < counts.size() ? std::min(counts[i], request.size) : 0;
        if ((request.endpoint & 0x80) != 0 && request.buffer != nullptr) {
            moved = i < pieces.size() ? Fill(pieces[i], request.buffer + size_t{i} * request.size, request.size) : 0;
        }
        if (request.bytesMoved != nullptr) {
            request.bytesMoved[i] = moved;
        }
    }
    return {completed, Outcome(*line, std::min(Field<uint32_t>(*line, "moved", 0), request.size))};
}

TransferResult ReplayDriver::SubmitControl(const ControlRequest& request) {
    const auto line = backend_.Next(ControlRequestJson(request));
    if (!line) {
        return {Status::Failed, 0, nullptr};
    }
    const uint32_t moved = SetupIsIn(request.setup) ? Fill(Field(*line, "in", nlohmann::json()), request.buffer, request.size)
                                                    : std::min(Field<uint32_t>(*line, "moved", 0), request.size);
    return Outcome(*line, moved);
}

TransferResult ReplayDriver::SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) {
    const auto line = backend_.Next(ClearHaltRequest(uniqueId, endpoint, timeoutMs));
    return line ? Outcome(*line, 0) : TransferResult{Status::Failed, 0, nullptr};
}

} // namespace

std::unique_ptr<Backend> MakeReplayBackend(std::string_view file) { return std::make_unique<ReplayBackend>(file); }

} // namespace platform::usb

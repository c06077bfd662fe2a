// KVX512_RECORD=FILE: a decorator of whichever backend was chosen that writes
// each request of the seam, with its data and outcome, as one JSON line.
#include "platform/usb/usb_recording.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace platform::usb::recording {

namespace {

std::string HexByte(uint8_t value) { return Hex(&value, 1); }

std::string HexWord(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return Hex(bytes, 2);
}

} // namespace

std::string Hex(const uint8_t* bytes, size_t size) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text(2 * size, '0');
    for (size_t i = 0; i < size; ++i) {
        text[2 * i] = Digits[bytes[i] >> 4];
        text[2 * i + 1] = Digits[bytes[i] & 0x0F];
    }
    return text;
}

bool FromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    bytes.resize(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = digit(text[2 * i]);
        const int low = digit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<char>(high << 4 | low);
    }
    return true;
}

Status StatusNamed(const std::string& name) {
    for (Status status : {Status::Success, Status::TimeOut, Status::NoDevice, Status::Stall}) {
        if (name == StatusName(status)) {
            return status;
        }
    }
    return Status::Failed;
}

nlohmann::json VersionRequest() { return {{"op", "version"}}; }

nlohmann::json ScanRequest(uint16_t vendorId, uint16_t productId) {
    return {{"op", "scan"}, {"vendor", HexWord(vendorId)}, {"product", HexWord(productId)}};
}

nlohmann::json SetInterfaceRequest(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
    return {{"op", "setinterface"}, {"id", uniqueId}, {"interface", interfaceNumber}, {"alternate", alternateSetting}};
}

// What an OUT request carries; an IN request's buffer is only room.
nlohmann::json BulkRequestJson(const BulkRequest& request) {
    nlohmann::json line{{"op", "bulk"},      {"id", request.uniqueId},      {"endpoint", HexByte(request.endpoint)},
                        {"size", request.size}, {"timeout", request.timeoutMs}};
    if ((request.endpoint & 0x80) == 0) {
        line["out"] = Hex(request.buffer, request.size);
    }
    return line;
}

nlohmann::json QueueRequestJson(const BulkQueueRequest& request) {
    nlohmann::json line{{"op", "queue"},        {"id", request.uniqueId}, {"endpoint", HexByte(request.endpoint)},
                        {"size", request.size}, {"count", request.count}, {"timeout", request.timeoutMs}};
    if ((request.endpoint & 0x80) == 0) {
        line["out"] = request.buffer != nullptr ? Hex(request.buffer, size_t{request.size} * request.count) : "";
    }
    return line;
}

nlohmann::json ControlRequestJson(const ControlRequest& request) {
    nlohmann::json line{{"op", "control"},
                        {"id", request.uniqueId},
                        {"setup", Hex(request.setup.data(), request.setup.size())},
                        {"size", request.size},
                        {"timeout", request.timeoutMs}};
    if (!SetupIsIn(request.setup)) {
        line["out"] = Hex(request.buffer, request.size);
    }
    return line;
}

nlohmann::json ClearHaltRequest(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) {
    return {{"op", "clearhalt"}, {"id", uniqueId}, {"endpoint", HexByte(endpoint)}, {"timeout", timeoutMs}};
}

nlohmann::json DevicesRequest() { return {{"op", "devices"}}; }

nlohmann::json LocationsRequest() { return {{"op", "locations"}}; }

} // namespace platform::usb::recording

namespace platform::usb {

namespace {

using namespace recording;

class Recorder {
public:
    explicit Recorder(std::FILE* file) : file_(file), start_(std::chrono::steady_clock::now()) {}
    ~Recorder() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void Write(nlohmann::json line) {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        line["t"] = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        const std::string text = line.dump() + "\n";
        std::lock_guard lock(mutex_);
        if (file_ != nullptr) {
            std::fputs(text.c_str(), file_);
            std::fflush(file_);   // a program that crashes keeps what it did
        }
    }

private:
    std::mutex mutex_;
    std::FILE* file_;
    std::chrono::steady_clock::time_point start_;
};

nlohmann::json WithOutcome(nlohmann::json line, const TransferResult& result) {
    line["status"] = StatusName(result.status);
    line["moved"] = result.bytesMoved;
    return line;
}

class RecordingDriver final : public Driver {
public:
    RecordingDriver(DriverHandle inner, Recorder& recorder) : inner_(std::move(inner)), recorder_(recorder) {}

private:
    DriverVersion QueryVersion() override {
        DriverVersion version = inner_->Version();
        auto line = VersionRequest();
        line["status"] = StatusName(version.status);
        line["number"] = version.number;
        line["text"] = version.text;
        recorder_.Write(std::move(line));
        return version;
    }
    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) override {
        ScanResult result = inner_->Scan(vendorId, productId);
        auto line = ScanRequest(vendorId, productId);
        line["status"] = StatusName(result.status);
        line["ids"] = result.uniqueIds;
        recorder_.Write(std::move(line));
        return result;
    }
    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) override {
        const Status status = inner_->SetInterface(uniqueId, interfaceNumber, alternateSetting);
        auto line = SetInterfaceRequest(uniqueId, interfaceNumber, alternateSetting);
        line["status"] = StatusName(status);
        recorder_.Write(std::move(line));
        return status;
    }
    TransferResult SubmitBulk(const BulkRequest& request) override {
        auto line = BulkRequestJson(request);
        const TransferResult result = inner_->BulkTransfer(request);
        line = WithOutcome(std::move(line), result);
        if ((request.endpoint & 0x80) != 0) {
            line["in"] = Hex(request.buffer, result.bytesMoved);
        }
        recorder_.Write(std::move(line));
        return result;
    }
    BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& request) override {
        auto line = QueueRequestJson(request);
        std::vector<uint32_t> counts(request.count);
        BulkQueueRequest counted = request;
        counted.bytesMoved = request.bytesMoved != nullptr ? request.bytesMoved : counts.data();
        const BulkQueueResult result = inner_->BulkTransferQueue(counted);
        line = WithOutcome(std::move(line), result.last);
        line["completed"] = result.completed;
        line["counts"] = std::vector<uint32_t>(counted.bytesMoved, counted.bytesMoved + result.completed);
        if ((request.endpoint & 0x80) != 0 && request.buffer != nullptr) {
            nlohmann::json pieces = nlohmann::json::array();
            for (uint32_t i = 0; i < result.completed; ++i) {
                pieces.push_back(Hex(request.buffer + size_t{i} * request.size, counted.bytesMoved[i]));
            }
            line["in"] = std::move(pieces);
        }
        recorder_.Write(std::move(line));
        return result;
    }
    TransferResult SubmitControl(const ControlRequest& request) override {
        auto line = ControlRequestJson(request);
        const TransferResult result = inner_->ControlTransfer(request);
        line = WithOutcome(std::move(line), result);
        if (SetupIsIn(request.setup)) {
            line["in"] = Hex(request.buffer, result.bytesMoved);
        }
        recorder_.Write(std::move(line));
        return result;
    }
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) override {
        const Status status = inner_->ClearHalt(uniqueId, endpoint, timeoutMs);
        auto line = ClearHaltRequest(uniqueId, endpoint, timeoutMs);
        line["status"] = StatusName(status);
        recorder_.Write(std::move(line));
        return {status, 0, nullptr};
    }

    DriverHandle inner_;
    Recorder& recorder_;
};

class RecordingBackend final : public Backend {
public:
    RecordingBackend(std::unique_ptr<Backend> inner, std::FILE* file) : inner_(std::move(inner)), recorder_(file) {}

    DriverHandle OpenDriver() override {
        DriverHandle driver = inner_->OpenDriver();
        if (driver == nullptr) {
            recorder_.Write({{"op", "open"}, {"status", StatusName(Status::Failed)}});
            return nullptr;
        }
        return DriverHandle(new RecordingDriver(std::move(driver), recorder_));
    }

    std::vector<PresentDevice> ListPresentDevices() override {
        auto devices = inner_->ListPresentDevices();
        auto line = DevicesRequest();
        line["list"] = nlohmann::json::array();
        for (const auto& device : devices) {
            line["list"].push_back({{"instance", device.instanceId}, {"class", device.classGuid}});
        }
        recorder_.Write(std::move(line));
        return devices;
    }

    std::vector<DeviceLocation> ListLocations() override {
        auto locations = inner_->ListLocations();
        auto line = LocationsRequest();
        line["list"] = nlohmann::json::array();
        for (const auto& at : locations) {
            line["list"].push_back(
                {{"location", at.id}, {"vendor", at.vendorId}, {"product", at.productId}, {"id", at.uniqueId}});
        }
        recorder_.Write(std::move(line));
        return locations;
    }

protected:
    void OnChosen(const std::string& locationId) override { inner_->Choose(locationId); }

private:
    std::unique_ptr<Backend> inner_;
    Recorder recorder_;
};

} // namespace

std::unique_ptr<Backend> MakeRecordingBackend(std::unique_ptr<Backend> inner, const std::string& file) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "kvx512: KVX512_RECORD: \"%s\" cannot be written; nothing is recorded.\n", file.c_str());
        return inner;
    }
    return std::make_unique<RecordingBackend>(std::move(inner), out);
}

} // namespace platform::usb

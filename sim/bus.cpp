#include "sim/bus.h"

#include <cstdio>

namespace kvx512sim {

Bus& Bus::Instance() {
    static Bus* const bus = new Bus;
    return *bus;
}

Bus::Bus() { Reset(); }

std::shared_ptr<Player> Bus::NewPlayer(uint16_t productId) const {
    auto player = std::make_shared<Player>(productId);
    player->RecordTranscript(recordTranscripts_);
    return player;
}

void Bus::Reset() {
    std::lock_guard lock(mutex_);
    players_.clear();
    players_.push_back(NewPlayer(0x0301));
    extraDevices_.clear();
    driverAvailable_ = true;
    driverVersion_ = 1100;
    versionFails_ = false;
    driverOpens_ = 0;
    scans_.clear();
}

void Bus::Clear() {
    std::lock_guard lock(mutex_);
    players_.clear();
}

Player& Bus::AddPlayer(uint16_t productId) {
    std::lock_guard lock(mutex_);
    players_.push_back(NewPlayer(productId));
    return *players_.back();
}

void Bus::RecordTranscripts(bool on) {
    std::lock_guard lock(mutex_);
    recordTranscripts_ = on;
    for (auto& player : players_) {
        player->RecordTranscript(on);
    }
}

Player& Bus::GetPlayer(size_t index) {
    std::lock_guard lock(mutex_);
    return *players_.at(index);
}

size_t Bus::PlayerCount() const {
    std::lock_guard lock(mutex_);
    return players_.size();
}

void Bus::SetDriverAvailable(bool available) {
    std::lock_guard lock(mutex_);
    driverAvailable_ = available;
}

void Bus::SetDriverVersion(uint32_t number, bool requestFails) {
    std::lock_guard lock(mutex_);
    driverVersion_ = number;
    versionFails_ = requestFails;
}

uint32_t Bus::DriverOpenCount() const {
    std::lock_guard lock(mutex_);
    return driverOpens_;
}

std::vector<std::pair<uint16_t, uint16_t>> Bus::ScanLog() const {
    std::lock_guard lock(mutex_);
    return scans_;
}

void Bus::ClearLogs() {
    std::lock_guard lock(mutex_);
    scans_.clear();
    driverOpens_ = 0;
    for (auto& player : players_) {
        player->ClearTranscript();
    }
}

void Bus::AddListedDevice(const std::string& instanceId, const std::string& classGuid) {
    std::lock_guard lock(mutex_);
    extraDevices_.push_back({instanceId, classGuid});
}

bool Bus::OpenDriver() {
    std::lock_guard lock(mutex_);
    ++driverOpens_;
    return driverAvailable_;
}

bool Bus::DriverVersion(uint32_t& number) const {
    std::lock_guard lock(mutex_);
    number = driverVersion_;
    return !versionFails_;
}

std::vector<uint32_t> Bus::Scan(uint16_t vendorId, uint16_t productId) {
    std::lock_guard lock(mutex_);
    scans_.emplace_back(vendorId, productId);
    std::vector<uint32_t> found;
    for (size_t i = 0; i < players_.size(); ++i) {
        if (vendorId == VendorId && players_[i]->Attached() && players_[i]->ProductId() == productId) {
            found.push_back(FirstUniqueId + static_cast<uint32_t>(i));
        }
    }
    return found;
}

std::shared_ptr<Player> Bus::SharedPlayer(size_t index) {
    std::lock_guard lock(mutex_);
    return index < players_.size() ? players_[index] : nullptr;
}

std::shared_ptr<Player> Bus::Find(uint32_t uniqueId) {
    std::lock_guard lock(mutex_);
    if (uniqueId < FirstUniqueId || uniqueId - FirstUniqueId >= players_.size()) {
        return nullptr;
    }
    return players_[uniqueId - FirstUniqueId];
}

UsbStatus Bus::SetInterface(uint32_t uniqueId, uint32_t interfaceNumber, uint32_t alternateSetting) {
    const auto player = Find(uniqueId);
    return player ? player->SetInterface(interfaceNumber, alternateSetting) : UsbStatus::NotAttached;
}

UsbResponse Bus::Transfer(uint32_t uniqueId, const UsbRequest& request) {
    // The player is not locked by the bus: a read that waits for its time-out
    // must not hold up the bus.
    const auto player = Find(uniqueId);
    return player ? player->Transfer(request) : UsbResponse{UsbStatus::NotAttached, 0};
}

std::vector<ListedDevice> Bus::PresentDevices() const {
    std::lock_guard lock(mutex_);
    std::vector<ListedDevice> devices;
    char instanceId[96];
    for (size_t i = 0; i < players_.size(); ++i) {
        if (!players_[i]->Attached()) {
            continue;
        }
        std::snprintf(instanceId, sizeof instanceId, "USB\\VID_%04X&PID_%04X\\KVX512SIM%04zu", VendorId,
                      players_[i]->ProductId(), i + 1);
        devices.push_back({instanceId, UsbClassGuid, FirstUniqueId + static_cast<uint32_t>(i)});
    }
    devices.insert(devices.end(), extraDevices_.begin(), extraDevices_.end());
    return devices;
}

} // namespace kvx512sim

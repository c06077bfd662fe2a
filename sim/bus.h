// The in-process USB bus: the simulated players a process can reach, the
// driver they are reached through, and the operating system's device list.
#pragma once

#include "sim/player.h"
#include "sim/sim_export.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kvx512sim {

struct ListedDevice {
    std::string instanceId;
    std::string classGuid;
    uint32_t uniqueId = 0;   // the player's on the bus; 0 for other devices
};

inline constexpr const char* UsbClassGuid = "{36FC9E60-C465-11CF-8056-444553540000}";

class KVX512SIM_API Bus {
public:
    // The one bus of the process, never destroyed (server threads may outlive
    // main). It starts with one attached player (0x0301).
    static Bus& Instance();

    // Back to the start: one fresh attached player, driver present, version
    // 11.00. Whether transcripts are recorded is kept.
    void Reset();
    // Whether the players' transcripts are recorded, those added later
    // included (off at the start: see Player::RecordTranscript).
    void RecordTranscripts(bool on);
    // Removes every player.
    void Clear();
    Player& AddPlayer(uint16_t productId = 0x0301);
    Player& GetPlayer(size_t index = 0);
    // A handle that keeps the player alive through a Reset; null when there is none.
    std::shared_ptr<Player> SharedPlayer(size_t index = 0);
    size_t PlayerCount() const;

    // The driver.
    void SetDriverAvailable(bool available);
    void SetDriverVersion(uint32_t number, bool requestFails = false);
    uint32_t DriverOpenCount() const;
    std::vector<std::pair<uint16_t, uint16_t>> ScanLog() const;   // (vendor, product) per scan
    void ClearLogs();

    // Extra entries of the device list, besides the attached players.
    void AddListedDevice(const std::string& instanceId, const std::string& classGuid);

    // Requests of a host, as its driver passes them on.
    bool OpenDriver();
    bool DriverVersion(uint32_t& number) const;
    std::vector<uint32_t> Scan(uint16_t vendorId, uint16_t productId);
    UsbStatus SetInterface(uint32_t uniqueId, uint32_t interfaceNumber, uint32_t alternateSetting);
    UsbResponse Transfer(uint32_t uniqueId, const UsbRequest& request);
    std::vector<ListedDevice> PresentDevices() const;

private:
    Bus();
    std::shared_ptr<Player> Find(uint32_t uniqueId);
    std::shared_ptr<Player> NewPlayer(uint16_t productId) const;

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Player>> players_;
    std::vector<ListedDevice> extraDevices_;
    bool driverAvailable_ = true;
    uint32_t driverVersion_ = 1100;
    bool versionFails_ = false;
    uint32_t driverOpens_ = 0;
    bool recordTranscripts_ = false;
    std::vector<std::pair<uint16_t, uint16_t>> scans_;
};

// Unique IDs of the bus are the player's index plus this.
inline constexpr uint32_t FirstUniqueId = 0x100;

} // namespace kvx512sim

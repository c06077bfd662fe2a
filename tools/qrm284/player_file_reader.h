// One file of the device API's cached listing read back piece by piece, for
// get and for put --verify: what the API returns (music without its title
// trailer, voice recordings as WAV files).
#pragma once

#include "plrapi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrm284 {

class PlayerFileReader {
public:
    explicit PlayerFileReader(CDeviceAPI& api);
    ~PlayerFileReader();   // Close()
    PlayerFileReader(const PlayerFileReader&) = delete;
    PlayerFileReader& operator=(const PlayerFileReader&) = delete;

    // Opens `name`.`extension` (long name) of the current folder; false when the player did not.
    bool Open(int storage, const std::string& name, const std::string& extension, unsigned long size);
    // The next piece, in Data(): its length, 0 at the end; nullopt when a read failed.
    std::optional<size_t> Next() { return Next(buffer_.data()); }
    // The same into `target`, which holds at least PieceCapacity bytes.
    std::optional<size_t> Next(uint8_t* target);
    const uint8_t* Data() const { return buffer_.data(); }
    static const size_t PieceCapacity;
    // Ends the download; before the end the player is told to stop sending.
    void Close();

private:
    CDeviceAPI& api_;
    std::vector<uint8_t> buffer_;
    bool open_ = false;
    bool ended_ = false;
    uint64_t received_ = 0;
};

} // namespace qrm284

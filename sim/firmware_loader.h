// The player's firmware loader: the set-up, erase and program commands of
// groups 'G' and 'C', taking the programmed blocks, and the restart into the
// new firmware once the download is confirmed.
#pragma once

#include "sim/command_decoder.h"
#include "sim/sim_export.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvx512sim {

// What the loader does; tests change it through Player.
struct KVX512SIM_API FirmwareSettings {
    // The counted erase ('C' 0x03) answers with a total and one reply per
    // step; otherwise it is refused and the plain erase ('C' 0x02) is used.
    bool countedErase = true;
    uint16_t eraseSteps = 16;
    // How long an erase takes; the plain erase answers only at its end.
    uint32_t eraseDelayMs = 0;
    // Replies other than the OK reply sent after the last block, before it.
    int busyRepliesAfterProgram = 0;
    // False: the programming is never confirmed with the OK reply.
    bool confirmProgram = true;
    // After a confirmed download the player restarts: it detaches once the
    // host has taken the last reply and attaches again after this pause,
    // running application firmware of `newVersion`.
    bool restartAfterDownload = true;
    uint32_t restartPauseMs = 0;
    std::string newVersion = "1.4322";
};

// One reply block and how long after the command it is ready.
struct TimedReply {
    std::vector<uint8_t> block;
    uint32_t delayMs = 0;
};

class KVX512SIM_API FirmwareLoader {
public:
    // Handles a command of group 'G' or 'C'; false for any other command.
    bool OnCommand(const Command& command, std::vector<TimedReply>& replies);
    // True while the announced blocks are still to come: every byte written
    // then is image data.
    bool Programming() const { return blocksLeft_ > 0; }
    // Takes image bytes; the replies of the confirmation follow the last block.
    void TakeBlocks(const uint8_t* data, uint32_t length, std::vector<TimedReply>& replies);
    // Drops a programming still waiting for blocks (cancel request, detach).
    void Abort() {
        blocksLeft_ = 0;
        bytesLeft_ = 0;
    }
    // True once a confirmed download waits for the restart.
    bool RestartDue() const { return restartDue_; }
    void Restarted() { restartDue_ = false; }

    FirmwareSettings settings;

    // What the host did.
    int SetUpCount() const { return setUps_; }
    std::vector<uint8_t> SetUpPayload() const { return setUpPayload_; }
    int EraseCount() const { return erases_; }
    uint16_t AnnouncedBlocks() const { return announced_; }
    // The bytes of the last programming, padding of the last block included.
    const std::vector<uint8_t>& ProgrammedImage() const { return image_; }

private:
    void Complete(std::vector<TimedReply>& replies);

    uint32_t blocksLeft_ = 0;
    uint32_t bytesLeft_ = 0;
    bool restartDue_ = false;
    int setUps_ = 0;
    std::vector<uint8_t> setUpPayload_;
    int erases_ = 0;
    uint16_t announced_ = 0;
    std::vector<uint8_t> image_;
};

} // namespace kvx512sim

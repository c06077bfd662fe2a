// The simulated player: a KVX512 device as its USB pipes see it.
#pragma once

#include "sim/command_decoder.h"
#include "sim/error_code.h"
#include "sim/firmware_loader.h"
#include "sim/identification.h"
#include "sim/sim_export.h"
#include "sim/storage.h"
#include "sim/transcript.h"
#include "sim/usb_request.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kvx512sim {

inline constexpr uint16_t VendorId = 0x0F9C;
inline constexpr uint32_t PipeOut = 0x02;
inline constexpr uint32_t PipeReplies = 0x83;
inline constexpr uint32_t PipeSpare = 0x82;
inline constexpr uint32_t PipeControl = 0;

inline constexpr int StorageCount = 2;   // 'M' (index 0) and 'S' (index 1)

// One live entry of a folder as the test side sees it.
struct DirectoryItem {
    std::string shortName;      // the 11 name bytes, e.g. "SONG    MP3"
    std::u16string longName;    // empty when no long-name entries precede the entry
    uint8_t attribute = 0;
    uint8_t headerFlag = 0;
    uint32_t size = 0;
    uint32_t firstCluster = 0;
    uint16_t writeDate = 0;
    uint16_t writeTime = 0;
};

class KVX512SIM_API Player {
public:
    explicit Player(uint16_t productId = 0x0301);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Identity and presence. Detaching ends any data phase.
    uint16_t ProductId() const;
    void SetProductId(uint16_t productId);
    bool Attached() const;
    void Attach();
    void Detach();
    void SetIdentification(const Identification& identification);
    Identification GetIdentification() const;

    // Fault injection; each counts down as it strikes.
    // The next `count` transfers fail, once `after` more have gone through.
    void FailNextTransfers(int count, int after = 0);
    // Replies are dropped, so reads time out. With handshakesToo false the
    // answers to "Y" (which every link open sends) are not counted or dropped.
    void WithholdReplies(int count, bool handshakesToo = true);
    void UnusableHandshakeReplies(int count);   // "Y" answered with status byte 1
    void GarbageReplies(int count);             // replies that are no reply block at all
    // The next command other than "Y" (which every link open sends) is answered
    // with an error reply carrying this code and has no other effect; a
    // refused "R" still sends its two answer blocks, both error replies.
    void RefuseNextCommand(uint8_t errorCode);
    // The next command other than "Y" is answered with `block` (padded or cut
    // to 512 bytes), a reply meant for another command, and has no other
    // effect; an "R" gets it as both of its answer blocks.
    void AnswerNextCommandWith(std::vector<uint8_t> block);
    // RefuseNextCommand and AnswerNextCommandWith strike only once this many
    // more commands other than "Y" have been carried out as usual.
    void DelayCommandFaults(int commands);
    // A read waiting for an answer that has not come gives up after at most
    // this long, whatever its time-out (0: its time-out): hosts with time-outs
    // of minutes then meet their time-outs at once.
    void LimitWaits(uint32_t milliseconds);
    // The file data being read (or the next file's) stops after this many
    // more 512-byte blocks: the rest is withheld, so the reads after them run
    // into their time-out. Strikes once.
    void WithholdDataAfterBlocks(uint32_t blocks);
    // Once this many bytes of a data phase (file or font data written, file
    // data read; padding counted) have crossed the wire, the player detaches
    // and a file still being written is dropped. A transfer that would carry
    // more is cut at the count and fails with NotAttached; one that ends
    // exactly on it succeeds. Strikes once.
    void DetachAfterDataBytes(uint32_t bytes);
    // The next file written completely is stored with the byte at `offset`
    // inverted, as a failing flash cell would keep it. Strikes once.
    void CorruptNextStoredFile(uint32_t offset);
    // The next file written completely is stored `delta` bytes longer (zeros
    // added) or shorter, its entry's size with it, as a player that lost
    // count would keep it. Strikes once.
    void ResizeNextStoredFile(int32_t delta);
    // The next "GG" sends `headerBlock` (padded or cut to 512 bytes) instead
    // of its header and `entryBytes` (in 512-byte blocks, the last padded)
    // instead of its entries. An empty header keeps the real header; a given
    // header with empty entries sends the header alone. Both empty: no override.
    void OverrideNextListing(std::vector<uint8_t> headerBlock, std::vector<uint8_t> entryBytes);
    // "FD"/"LD" answer progress replies at percentStep, 2 x percentStep, ...
    // (below 100), each delayMsPerReply after the one before, then the OK
    // reply after one more delay. Default: step 33, no delay, so that the last
    // progress reply reaches 99 (the updater waits for 99 before the OK reply).
    void SetFormatPace(int percentStep, uint32_t delayMsPerReply);
    // The host let go of the link: replies it never read and a write it left
    // unfinished are dropped, and with knobsToo the failure and withholding
    // counts as well, so that the next host starts afresh.
    void EndLink(bool knobsToo);
    // Replies waiting to be read are capped at this many: a host that never
    // reads drops the newest instead of growing the player without end.
    static constexpr size_t MaxPendingReplies = 8192;

    // Storages: 0 'M', 1 'S'. Paths are UTF-8, from the top level, '/' between
    // folders ("/A/B/name.mp3"); names match a long name or the dotted short
    // name ("SONG.MP3"), without regard to ASCII case.
    void SetSecondStoragePresent(bool present);   // absent: every command to 'S' is refused
    void SetCapacityUnits(int storageIndex, uint16_t units);   // defaults: M 4096 units (64 MiB), S 2048
    // Units of 16,384 bytes in use: the sum over files of ceil(size / 16,384).
    uint16_t UsedUnits(int storageIndex) const;
    // Entries a folder may hold, deleted ones and "."/".." included (default 512).
    void SetFolderSlotLimit(int storageIndex, uint16_t slots);
    // Creates a file in an existing folder. Long-name entries are added when
    // the name is not a plain upper-case 8.3 name; the short name is the
    // upper-cased 8.3 name, or up to 6 characters, "~n" and the extension.
    // False when the folder is missing, the name exists, the folder is full
    // or the storage lacks room.
    bool PutFile(int storageIndex, const std::string& utf8Path, const std::vector<uint8_t>& data,
                 uint8_t headerFlag = 0);
    // Creates a folder (with long-name entries as for PutFile) in an existing folder.
    bool MakeFolder(int storageIndex, const std::string& utf8Path);
    std::optional<std::vector<uint8_t>> FileData(int storageIndex, const std::string& utf8Path) const;
    // Live entries in directory order, "." and ".." included; no deleted and
    // no long-name entries. Empty for an unknown folder.
    std::vector<DirectoryItem> ListFolder(int storageIndex, const std::string& utf8Path) const;
    // The folder's 32-byte entries as stored, deleted included; empty if unknown.
    std::vector<uint8_t> RawDirectory(int storageIndex, uint32_t folderNumber) const;
    uint32_t CurrentFolder(int storageIndex) const;
    // First cluster of a folder, 0 for "/", NoFolder when there is none.
    uint32_t FolderNumber(int storageIndex, const std::string& utf8Path) const;
    static constexpr uint32_t NoFolder = 0xFFFFFFFF;
    // Empties a storage as "FD" does, without any exchange.
    void FormatStorage(int storageIndex);

    // The font the last complete font download left.
    std::string FontName() const;
    std::vector<uint8_t> FontData() const;
    // True while a file or font write waits for data.
    bool InDataPhase() const;

    // Storages, folders, files and font, in a file of the player's own format.
    bool SaveState(const std::string& file) const;
    bool LoadState(const std::string& file);

    // The firmware loader (groups 'G' and 'C'): how it answers, and what it
    // was given. After a confirmed download the player detaches once the
    // host has taken the last reply and attaches again after the settings'
    // pause, identifying as application firmware of the new version.
    void SetFirmwareSettings(const FirmwareSettings& settings);
    FirmwareLoader Firmware() const;

    // What happened. The transcript is kept only while recording is on (off
    // at the start): a player nobody watches moves data without copying it.
    void RecordTranscript(bool on);
    Transcript GetTranscript() const;
    void ClearTranscript();
    int CancelRequestCount() const;
    size_t PendingReplies() const;   // reply blocks and file data blocks waiting for pipe 0x83

    // The device side of the requests a host makes.
    UsbStatus SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting);
    UsbResponse Transfer(const UsbRequest& request);
    // When an IN request on `pipe` that may not wait gets more than
    // WouldBlock: now for one answered at once (player detached, a failure
    // due, a pipe without data), when the first thing waiting for the pipe is
    // due, or never (empty) while nothing waits. For hosts that keep requests
    // pending themselves, so that they wait instead of asking again and again.
    std::optional<std::chrono::steady_clock::time_point> InDueAt(uint32_t pipe) const;

private:
    using Clock = std::chrono::steady_clock;

    // What waits for pipe 0x83: a block, or a file's data served in 512-byte
    // blocks (the last padded) straight from the stored bytes.
    struct PendingIn {
        std::vector<uint8_t> block;
        FileBytes stream;
        size_t offset = 0;
        Clock::time_point readyAt{};
        size_t Remaining() const;
    };

    // A file or font write between its accepted "W" and its last byte.
    struct WritePhase {
        bool font = false;
        int storage = 0;
        uint32_t folder = 0;
        std::vector<uint8_t> group;   // long-name entries and short entry as received
        std::string fontName;
        uint32_t size = 0;
        std::shared_ptr<std::vector<uint8_t>> data;
    };

    // `moved` (null while not recording) receives the bytes that crossed.
    UsbResponse TransferLocked(const UsbRequest& request, std::vector<uint8_t>* moved,
                               std::unique_lock<std::mutex>& lock);
    UsbResponse WriteOut(const UsbRequest& request, std::vector<uint8_t>* moved);
    UsbResponse ReadIn(const UsbRequest& request, std::vector<uint8_t>* moved,
                       std::unique_lock<std::mutex>& lock);
    // True when a transfer would fail now by the failure knob; counts it down.
    bool FailureStrikes();
    // Drops the file data at the front once the withholding knob has let its share through.
    void WithholdDataIfDue();
    UsbResponse Control(const UsbRequest& request);
    void OnCommand(const Command& command);
    void Reply(std::vector<uint8_t> block, Clock::time_point readyAt = {}, bool handshake = false);
    void ReplyError(uint8_t errorCode);
    void DetachLocked();
    bool ReattachDue() const;
    void ReattachIfDue();
    void QueueFirmwareReplies(const std::vector<TimedReply>& replies);
    void RestartIfDue();
    // True when the detach knob strikes after `bytes` more data-phase bytes;
    // `allowed` receives how many of them still cross.
    bool DataPhaseDetaches(uint32_t bytes, uint32_t& allowed);

    // Storage commands (storage_commands.cpp).
    void OnAbsentStorage(const Command& command);
    void OnStorageCommand(Storage& storage, int storageIndex, const Command& command);
    uint8_t MakeFolderFromEntries(Storage& storage, const std::vector<uint8_t>& payload);
    void StartWritePhase(WritePhase phase, uint32_t size);
    void OnListing(const Storage& storage, char group);
    void OnWrite(Storage& storage, int storageIndex, const Command& command);
    void OnRead(const Storage& storage, const Command& command);
    void OnFormat(Storage& storage);
    void OnPath(const Storage& storage);
    void OnFontWrite(const Command& command);
    void TakeWriteData(const uint8_t* data, uint32_t length);
    void FinishWrite();
    Storage* StorageAt(int storageIndex);
    const Storage* StorageAt(int storageIndex) const;
    // The folder a '/'-separated path names; NoFolder when there is none.
    uint32_t ResolveFolder(const Storage& storage, const std::string& utf8Path) const;

    mutable std::mutex mutex_;
    uint16_t productId_;
    bool attached_ = true;
    Identification identification_;
    int failTransfers_ = 0;
    int failAfter_ = 0;
    int withheldReplies_ = 0;
    bool withholdHandshakes_ = true;
    int unusableHandshakes_ = 0;
    int garbageReplies_ = 0;
    int cancelRequests_ = 0;
    std::optional<uint8_t> refuseNext_;
    std::optional<std::vector<uint8_t>> answerNext_;
    int commandFaultDelay_ = 0;
    uint32_t waitLimitMs_ = 0;
    std::optional<uint64_t> detachAfter_;
    std::optional<uint32_t> corruptNextFileAt_;
    int32_t resizeNextFileBy_ = 0;
    std::optional<uint32_t> withholdDataAfter_;   // blocks
    uint64_t phaseBytes_ = 0;
    std::optional<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> listingOverride_;
    int formatStep_ = 33;
    uint32_t formatDelayMs_ = 0;
    std::deque<PendingIn> pendingIn_;
    bool recording_ = false;
    Transcript transcript_;

    std::array<Storage, StorageCount> storages_{Storage(4096), Storage(2048)};
    std::optional<WritePhase> writePhase_;
    FirmwareLoader firmware_;
    std::optional<Clock::time_point> reattachAt_;
    std::string fontName_;
    std::vector<uint8_t> fontData_;
};

} // namespace kvx512sim

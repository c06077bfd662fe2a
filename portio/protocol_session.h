// The protocol library's session with the player: what the library keeps
// between exports (its link layer, the current link, the firmware version of
// the last identification, the staging buffers of the data phase) and one
// member per operation of the command protocol.
#pragma once

#include "portio.h"
#include "portio/format_progress.h"
#include "portio/result_code.h"
#include "usblink/usb_link.h"
#include "wire/command_block.h"
#include "wire/identification.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace portio {

// The current link is opened by the operation that needs it and kept open only
// through a data phase (file write, file read, font download) until it is
// closed, cancelled, fails, or the next operation opens a link.
class ProtocolSession {
public:
    // File data moves in transfers of this size.
    static constexpr uint32_t DataChunkSize = 16384;

    ProtocolSession();
    ProtocolSession(const ProtocolSession&) = delete;
    ProtocolSession& operator=(const ProtocolSession&) = delete;

    // Presence and time-outs: the device list only, no link.
    bool IsPlayerPresent() const;
    void SetTimeouts(int readTimeoutMs, int writeTimeoutMs);
    // Ok when a link opens (it is closed again), else NotPresent or Unreachable.
    Result CheckStatus();

    // "Y" on a link of its own (the current link is left alone). The
    // identification when it is recognised and its version word is a number;
    // that number becomes the firmware version.
    std::optional<wire::Identification> QueryVersion();
    uint32_t FirmwareVersion() const { return firmwareVersion_; }

    // "GG": the directory image of a storage's current folder into `image`.
    Result ReadListing(StorageImage& image, int storage);

    // "W" with the record's entries; Ok opens the data phase.
    Result OpenFileWrite(const FileRecord& record, int storage);
    // "R" for a file position and its two answer blocks; Ok opens the data phase.
    Result OpenFileRead(int storage, int position);
    // Data of the open write or font download: 16,384-byte transfers (queued:
    // several in flight where the driver can), the tail padded with zeros to
    // whole blocks. Ok without a data phase; WriteFailed, with nothing sent
    // and the data phase left open, for data past the size the open announced.
    Result WriteData(const uint8_t* data, uint32_t size);
    // The next `size` bytes of the open read, read in whole blocks, each its
    // own transfer (queued as for writes). NoReply without a data phase.
    Result ReadData(uint8_t* buffer, uint32_t size);
    // Ends the data phase.
    void CloseDataPhase() { CloseCurrentLink(); }
    // Keeps the calling thread's windows answering for about a second, then
    // the cancel request; Invalid without a link.
    Result Cancel();

    // "E" and "P", files named by their position among the files.
    Result DeleteFile(int storage, int position);
    Result SwapFiles(int storage, int first, int second);

    // Folders need firmware 1.43 or later; older firmware is left alone (Ok).
    bool FoldersSupported() const;
    Result CreateFolder(int storage, const std::string& name);
    Result SetCurrentFolder(int storage, int folder);
    Result RemoveFolder(int storage, int folder);
    // The current folder's path into `text` (at least one byte), cut to fit
    // and always terminated.
    Result GetFolderPath(int storage, std::span<char> text);

    // "FD" or "LD", reporting progress until the player says it is done.
    Result Format(int storage, bool lowLevel, const FormatProgress& progress);

    // "W" to the font group with the name and size; Ok opens the data phase.
    Result StartFontDownload(std::string_view name, uint32_t size);

    // Closes the current link, if any, and opens a new one.
    bool OpenCurrentLink();
    void CloseCurrentLink();
    const usblink::UsbLink* CurrentLink() const { return current_; }

private:
    // Up to five status checks, stopping at the first success.
    bool IsPlayerReachable();
    // The reachability check, then a new current link.
    bool OpenLinkToReachablePlayer();
    // Sends a command on the current link and reads its reply. NotSent or
    // NoReply close the current link. When the command's acceptance opens a
    // data phase, a lost reply may leave the player waiting for data: the
    // data phase is cancelled before the link closes.
    Result Exchange(int form, int groupIndex, uint16_t code, std::span<const uint8_t> payload, wire::Block& reply,
                    bool opensDataPhase = false);
    // The reachability check, a new current link and the exchange of a
    // command that names a file by its position.
    Result FilePositionCommand(int storage, char code, int position, wire::Block& reply);
    Result FolderNumberCommand(int storage, char second, int folder);
    // Cancel request on the current link, then close it.
    void AbortDataPhase();

    usblink::Link link_;
    usblink::UsbLink* current_ = nullptr;
    uint32_t firmwareVersion_ = 0;
    // What the open write or font download may still send; none without one.
    std::optional<uint64_t> writeLeft_;
    // The zero-padded tail of a write.
    std::array<uint8_t, DataChunkSize> writeTail_{};
    // Whole blocks of a read; the caller's buffer sees them only once all arrived.
    std::vector<uint8_t> readBlocks_;
    // What each block of the read moved.
    std::vector<uint32_t> readCounts_;
};

// The session of the process, which every export speaks through.
ProtocolSession& Session();

} // namespace portio

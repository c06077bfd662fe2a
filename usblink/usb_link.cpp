#include "usblink/usb_link.h"

#include "platform/system/message_box.h"
#include "usblink/player_presence.h"
#include "wire/reply_view.h"

#include <memory>

namespace usblink {

namespace {

using platform::usb::Status;

constexpr char VersionWarningText[] =
    "You are using previous version driver.\\Please use WinDriver 6.0 or higher version.";
constexpr char VersionWarningCaption[] = "Warning - Version";

// Each transfer (or run of queued transfers) goes through a driver handle of
// its own, as the link always did; opening one allocates nothing.
platform::usb::DriverHandle DriverFor(const UsbLink* link) {
    return link != nullptr ? platform::usb::OpenDriver() : nullptr;
}

} // namespace

Link::Link(const LinkSettings& settings)
    : settings_(settings), readTimeout_(settings.readTimeoutMs), writeTimeout_(settings.writeTimeoutMs) {}

void Link::SetTimeouts(int32_t readTimeoutMs, int32_t writeTimeoutMs) {
    readTimeout_ = static_cast<uint32_t>(readTimeoutMs);
    writeTimeout_ = static_cast<uint32_t>(writeTimeoutMs);
}

void Link::CheckDriverVersion(platform::usb::Driver& driver) {
    const auto version = driver.Version();
    if (version.status != Status::Success || version.number < MinimumDriverVersion) {
        platform::ShowMessageBox(VersionWarningText, VersionWarningCaption, platform::MessageBoxIcon::Warning);
    }
}

UsbLink* Link::OpenLink() {
    platform::usb::DriverHandle handle = platform::usb::OpenDriver();
    if (!handle) {
        return nullptr;
    }
    uint32_t uniqueId = 0;
    bool found = false;
    for (uint16_t productId : settings_.productIds) {
        const auto scan = handle->Scan(PlayerVendorId, productId);
        if (!scan.uniqueIds.empty()) {
            uniqueId = scan.uniqueIds.front();
            found = true;
            break;
        }
    }
    if (!found) {
        return nullptr;
    }
    auto link = std::make_unique<UsbLink>();
    link->handle = std::move(handle);
    link->uniqueId = uniqueId;

    CheckDriverVersion(*link->handle);
    if (link->handle->SetInterface(link->uniqueId, 0, 0) != Status::Success) {
        return nullptr;
    }
    HaltPipe(link.get(), PipeSpare);
    HaltPipe(link.get(), PipeReplies);

    wire::Block reply{};
    for (uint32_t attempt = 0; attempt < HandshakeAttempts; ++attempt) {
        if (!SendCommand(link.get(), wire::FormCode, 0, 'Y', nullptr, 0)) {
            return nullptr;
        }
        if (BulkRead(link.get(), PipeReplies, reply.data(), wire::BlockSize) < 0) {
            return nullptr;
        }
        if (wire::ReplyView(reply).IsReplyBlock()) {
            return link.release();
        }
    }
    return nullptr;
}

void Link::CloseLink(UsbLink* link) { delete link; }

int Link::BulkRead(UsbLink* link, uint8_t pipe, uint8_t* buffer, uint32_t size) {
    const auto driver = DriverFor(link);
    if (!driver) {
        return -1;
    }
    const auto result = driver->BulkTransfer({link->uniqueId, static_cast<uint8_t>(DirectionIn | pipe), buffer, size,
                                              ReadTimeout()});
    return result.status == Status::Success ? static_cast<int>(result.bytesMoved) : -1;
}

int Link::BulkWrite(UsbLink* link, uint8_t pipe, const uint8_t* buffer, uint32_t size) {
    const auto driver = DriverFor(link);
    if (!driver) {
        return -1;
    }
    // The driver's request carries one buffer pointer for both directions; an OUT transfer only reads it.
    const auto result =
        driver->BulkTransfer({link->uniqueId, pipe, const_cast<uint8_t*>(buffer), size, WriteTimeout()});
    return result.status == Status::Success ? static_cast<int>(result.bytesMoved) : -1;
}

uint32_t Link::BulkReadQueue(UsbLink* link, uint8_t pipe, uint8_t* buffer, uint32_t size, uint32_t count,
                             uint32_t* moved) {
    const auto driver = count > 0 ? DriverFor(link) : nullptr;
    if (!driver) {
        return 0;
    }
    return driver
        ->BulkTransferQueue(
            {link->uniqueId, static_cast<uint8_t>(DirectionIn | pipe), buffer, size, count, ReadTimeout(), moved})
        .completed;
}

uint32_t Link::BulkWriteQueue(UsbLink* link, uint8_t pipe, const uint8_t* buffer, uint32_t size, uint32_t count) {
    const auto driver = count > 0 ? DriverFor(link) : nullptr;
    if (!driver) {
        return 0;
    }
    // As in BulkWrite: an OUT transfer only reads the buffer.
    return driver
        ->BulkTransferQueue({link->uniqueId, pipe, const_cast<uint8_t*>(buffer), size, count, WriteTimeout(), nullptr})
        .completed;
}

Status Link::HaltPipe(UsbLink* link, uint8_t pipe) {
    const auto driver = DriverFor(link);
    if (!driver) {
        return Status::Failed;
    }
    return driver->ClearHalt(link->uniqueId, static_cast<uint8_t>(DirectionIn | pipe), ReadTimeout());
}

void Link::SendCancelRequest(UsbLink* link) {
    if (const auto driver = DriverFor(link)) {
        driver->ControlTransfer({link->uniqueId, CancelRequest, nullptr, 0, WriteTimeout()});
    }
}

bool Link::IsPlayerPresent() const {
    return IsPlayerListed(platform::usb::ListPresentDevices(), settings_.productIds);
}

bool Link::SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                       size_t payloadLength) {
    std::lock_guard lock(blockMutex_);
    if (!wire::BuildCommandBlock(block_, form, groupIndex, code, payload, payloadLength)) {
        return false;
    }
    return BulkWrite(link, PipeCommands, block_.data(), wire::BlockSize) > 0;
}

bool Link::ReadReply(UsbLink* link, wire::Block& reply) {
    return BulkRead(link, PipeReplies, reply.data(), wire::BlockSize) > 0;
}

} // namespace usblink

#include "usblink/usb_link.h"

#include "platform/system/message_box.h"

#include <memory>

namespace usblink {

namespace {

constexpr char VersionWarningText[] =
    "You are using previous version driver.\\Please use WinDriver 6.0 or higher version.";
constexpr char VersionWarningCaption[] = "Warning - Version";

} // namespace

template <class Settings>
portio::Block& LinkLayer<Settings>::BlockBuffer() {
    static portio::Block buffer{};
    return buffer;
}

template <class Settings>
void LinkLayer<Settings>::SetTimeouts(int32_t readTimeout, int32_t writeTimeout) {
    readTimeout_ = static_cast<uint32_t>(readTimeout);
    writeTimeout_ = static_cast<uint32_t>(writeTimeout);
}

template <class Settings>
void LinkLayer<Settings>::CheckDriverVersion(platform::usb::Driver& driver) {
    const auto version = driver.Version();
    if (version.status != platform::usb::StatusSuccess || version.number < MinimumDriverVersion) {
        platform::ShowMessageBox(VersionWarningText, VersionWarningCaption, platform::MessageBoxIcon::Warning);
    }
}

template <class Settings>
UsbLink* LinkLayer<Settings>::OpenLink() {
    platform::usb::DriverHandle handle = platform::usb::OpenDriver();
    if (!handle) {
        return nullptr;
    }
    uint32_t uniqueId = 0;
    bool found = false;
    for (uint16_t productId : Settings::ProductIds) {
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
    if (link->handle->SetInterface(link->uniqueId, 0, 0, 0) != platform::usb::StatusSuccess) {
        return nullptr;
    }
    HaltPipe(link.get(), PipeSpare);
    HaltPipe(link.get(), PipeReplies);

    portio::Block& block = BlockBuffer();
    for (uint32_t attempt = 0; attempt < HandshakeAttempts; ++attempt) {
        portio::BuildCommandBlock(block, portio::FormCode, 0, 'Y', nullptr, 0);
        if (BulkWrite(link.get(), PipeCommands, block.data(), portio::BlockSize) < 0) {
            return nullptr;
        }
        if (BulkRead(link.get(), PipeReplies, block.data(), portio::BlockSize) < 0) {
            return nullptr;
        }
        if (block[0] == '#' && block[1] == 0) {
            return link.release();
        }
    }
    return nullptr;
}

template <class Settings>
void LinkLayer<Settings>::CloseLink(UsbLink* link) {
    delete link;
}

template <class Settings>
uint32_t LinkLayer<Settings>::Transfer(UsbLink* link, platform::usb::TransferRequest request,
                                       uint32_t& bytesMoved) {
    bytesMoved = 0;
    if (link == nullptr) {
        return platform::usb::StatusFailed;
    }
    // Each transfer goes through a driver handle of its own.
    platform::usb::DriverHandle driver = platform::usb::OpenDriver();
    if (!driver) {
        return platform::usb::StatusFailed;
    }
    request.uniqueId = link->uniqueId;
    const auto result = driver->Transfer(request);
    bytesMoved = result.bytesMoved;
    return result.status;
}

template <class Settings>
int LinkLayer<Settings>::BulkRead(UsbLink* link, uint32_t pipe, uint8_t* buffer, uint32_t size) {
    platform::usb::TransferRequest request;
    request.pipe = 0x80 | pipe;
    request.read = true;
    request.buffer = buffer;
    request.size = size;
    request.timeoutMs = ReadTimeout();
    uint32_t moved = 0;
    if (Transfer(link, request, moved) != platform::usb::StatusSuccess) {
        return -1;
    }
    return static_cast<int>(moved);
}

template <class Settings>
int LinkLayer<Settings>::BulkWrite(UsbLink* link, uint32_t pipe, const uint8_t* buffer, uint32_t size) {
    platform::usb::TransferRequest request;
    request.pipe = pipe;
    request.read = false;
    // The driver's request structure carries one buffer pointer for both directions.
    request.buffer = const_cast<uint8_t*>(buffer);
    request.size = size;
    request.timeoutMs = WriteTimeout();
    uint32_t moved = 0;
    if (Transfer(link, request, moved) != platform::usb::StatusSuccess) {
        return -1;
    }
    return static_cast<int>(moved);
}

template <class Settings>
uint32_t LinkLayer<Settings>::HaltPipe(UsbLink* link, uint32_t pipe) {
    platform::usb::TransferRequest request;
    request.pipe = 0x80 | pipe;
    request.read = false;
    request.options = 1;
    request.timeoutMs = ReadTimeout();
    uint32_t moved = 0;
    return Transfer(link, request, moved);
}

template <class Settings>
void LinkLayer<Settings>::SendCancelRequest(UsbLink* link) {
    platform::usb::TransferRequest request;
    request.pipe = 0;
    request.read = false;
    request.setup = {0x40, 0x01, 0, 0, 0, 0, 0, 0};
    request.timeoutMs = WriteTimeout();
    uint32_t moved = 0;
    Transfer(link, request, moved);
}

template <class Settings>
bool LinkLayer<Settings>::IsPlayerPresent() {
    return IsPlayerListed(platform::usb::ListPresentDevices(), Settings::ProductIds);
}

template class LinkLayer<PortioSettings>;
template class LinkLayer<UpdaterSettings>;

} // namespace usblink

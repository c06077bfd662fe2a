// Players behind a USB/IP server: kvx512-sim, or a real player exported from
// another machine. One imported connection per process carries every transfer,
// so opening the driver costs nothing.
#include "platform/usb/forwarding_driver.h"
#include "platform/usb/usb_driver.h"
#include "platform/usb/usbip_address.h"
#include "platform/usb/usbip_session.h"

#include <algorithm>
#include <mutex>

namespace platform::usb {

namespace {

constexpr uint32_t ControlTimeoutMs = 5000;
constexpr uint32_t ClientVersion = 1100;

class UsbipBackend final : public Backend {
public:
    explicit UsbipBackend(UsbipAddress address) : address_(std::move(address)) {}

    DriverHandle OpenDriver() override;

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> present;
        if (auto devices = QueryExportedDevices(address_)) {
            for (const auto& device : *devices) {
                if (address_.busId.empty() || device.busId == address_.busId) {
                    present.push_back({UsbipInstanceId(device), UsbDeviceClassGuid});
                }
            }
        }
        return present;
    }

    ScanResult Scan(uint16_t vendorId, uint16_t productId) {
        std::lock_guard lock(mutex_);
        if (session_) {
            session_->CheckConnection();
        }
        if (session_ && session_->Broken()) {
            session_.reset();
        }
        if (!session_) {
            Import(vendorId, productId);
        }
        ScanResult result{StatusSuccess, {}};
        if (session_ && session_->Device().vendorId == vendorId && session_->Device().productId == productId) {
            result.uniqueIds.push_back(session_->Devid());
        }
        return result;
    }

    uint32_t SetInterface(uint32_t uniqueId, uint32_t interfaceNumber, uint32_t alternateSetting) {
        UrbRequest request;
        request.setup = {0x01, 0x0B, static_cast<uint8_t>(alternateSetting), static_cast<uint8_t>(alternateSetting >> 8),
                         static_cast<uint8_t>(interfaceNumber), static_cast<uint8_t>(interfaceNumber >> 8), 0, 0};
        request.timeoutMs = ControlTimeoutMs;
        return Submit(uniqueId, request).status;
    }

    TransferResult Transfer(const TransferRequest& transfer) {
        UrbRequest request;
        request.timeoutMs = transfer.timeoutMs;
        if (transfer.options == 1) {
            // Pipe halt: CLEAR_FEATURE(ENDPOINT_HALT) on that endpoint.
            request.setup = {0x02, 0x01, 0, 0, static_cast<uint8_t>(transfer.pipe), 0, 0, 0};
        } else if ((transfer.pipe & 0x7F) == 0) {
            request.setup = transfer.setup;
            request.in = (transfer.setup[0] & 0x80) != 0;
            const auto wLength = static_cast<uint32_t>(transfer.setup[6] | (transfer.setup[7] << 8));
            request.buffer = transfer.buffer;
            request.length = transfer.buffer != nullptr ? std::min(wLength, transfer.size) : 0;
        } else {
            request.endpoint = transfer.pipe & 0x0F;
            request.in = transfer.read;
            request.buffer = transfer.buffer;
            request.length = transfer.buffer != nullptr ? transfer.size : 0;
        }
        const UrbOutcome outcome = Submit(transfer.uniqueId, request);
        return {outcome.status, outcome.actual};
    }

private:
    void Import(uint16_t vendorId, uint16_t productId) {
        const auto devices = QueryExportedDevices(address_);
        if (!devices) {
            return;
        }
        for (const auto& device : *devices) {
            if (device.vendorId != vendorId || device.productId != productId ||
                (!address_.busId.empty() && device.busId != address_.busId)) {
                continue;
            }
            session_ = UsbipSession::Import(address_, device.busId);
            if (session_) {
                // What a host does after enumeration; a device exported from a
                // real machine is configured already and just agrees.
                UrbRequest configure;
                configure.setup = {0x00, 0x09, 1, 0, 0, 0, 0, 0};
                configure.timeoutMs = ControlTimeoutMs;
                session_->Submit(configure);
            }
            return;
        }
    }

    UrbOutcome Submit(uint32_t uniqueId, const UrbRequest& request) {
        std::lock_guard lock(mutex_);
        if (!session_ || session_->Devid() != uniqueId) {
            return {StatusNoDevice, 0};
        }
        return session_->Submit(request);
    }

    std::mutex mutex_;
    const UsbipAddress address_;
    std::optional<UsbipSession> session_;
};

DriverHandle UsbipBackend::OpenDriver() { return std::make_unique<ForwardingDriver<UsbipBackend>>(*this, ClientVersion, "KVX512 USB/IP client"); }

} // namespace

std::unique_ptr<Backend> MakeUsbipBackend(std::string_view url) {
    auto address = ParseUsbipAddress(url);
    if (!address) {
        return nullptr;
    }
    return std::make_unique<UsbipBackend>(std::move(*address));
}

} // namespace platform::usb

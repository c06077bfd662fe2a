// The driver seam: the few requests the USB link makes of its kernel driver,
// shaped after them, with one backend per way of reaching a player.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::usb {

// Status words of a request. 0 is success; the others are ours to choose,
// the link only ever compares with 0.
enum Status : uint32_t {
    StatusSuccess = 0,
    StatusFailed = 0x20000001,       // the request could not be carried out
    StatusTimeOut = 0x20000002,      // no data before the time-out
    StatusNoDevice = 0x20000003,     // the unique ID names no attached device
    StatusStall = 0x20000004,        // the device refused the request
};

using SetupPacket = std::array<uint8_t, 8>;

struct TransferRequest {
    uint32_t uniqueId = 0;
    uint32_t pipe = 0;            // 0x02, 0x82, 0x83 or 0 (control)
    bool read = false;            // true: IN, false: OUT
    uint32_t options = 0;         // 1 on a pipe halt
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    SetupPacket setup{};
    uint32_t timeoutMs = 0;
};

struct TransferResult {
    uint32_t status = StatusFailed;
    uint32_t bytesMoved = 0;
};

struct ScanResult {
    uint32_t status = StatusFailed;
    std::vector<uint32_t> uniqueIds;
};

struct DriverVersion {
    uint32_t status = StatusFailed;
    uint32_t number = 0;          // 600 stands for version 6.00
    std::string text;
};

// One entry of the operating system's list of present devices.
struct PresentDevice {
    std::string instanceId;       // e.g. USB\VID_0F9C&PID_0301\5&2A1B&0&1
    std::string classGuid;        // setup class, upper-case with braces
};

// The published setup class of USB devices.
inline constexpr const char* UsbDeviceClassGuid = "{36FC9E60-C465-11CF-8056-444553540000}";

// An open handle to the driver. Cheap to open: the link opens one per transfer.
class Driver {
public:
    virtual ~Driver() = default;
    virtual DriverVersion Version() = 0;
    virtual ScanResult Scan(uint16_t vendorId, uint16_t productId) = 0;
    virtual uint32_t SetInterface(uint32_t uniqueId, uint32_t interfaceNumber,
                                  uint32_t alternateSetting, uint32_t options) = 0;
    virtual TransferResult Transfer(const TransferRequest& request) = 0;
};

using DriverHandle = std::unique_ptr<Driver>;

// A way of reaching players, chosen once per process by KVX512_USB.
class Backend {
public:
    virtual ~Backend() = default;
    // Null when the driver cannot be opened (as with no driver installed).
    virtual DriverHandle OpenDriver() = 0;
    // The device list; never opens a device.
    virtual std::vector<PresentDevice> ListPresentDevices() = 0;
};

// The backend KVX512_USB names: "sim", "libusb" (the default) or
// "usbip://HOST[:PORT][/BUSID]". An unknown value gives a backend whose
// driver cannot be opened, so every request fails as with a missing driver.
Backend& CurrentBackend();

// Opens the driver of the current backend.
DriverHandle OpenDriver();

// The current backend's device list.
std::vector<PresentDevice> ListPresentDevices();

// Backend factories, one per file.
std::unique_ptr<Backend> MakeSimBackend();
std::unique_ptr<Backend> MakeLibusbBackend();
std::unique_ptr<Backend> MakeMissingDriverBackend();
// Null when the URL is not usbip://HOST[:PORT][/BUSID].
std::unique_ptr<Backend> MakeUsbipBackend(std::string_view url);

} // namespace platform::usb

// The driver seam: the few requests the USB link makes of its kernel driver,
// shaped after them, with one backend per way of reaching a player.
//
// Callers use the public members of Driver. They check and normalise the
// request (a null buffer moves nothing; a control data stage is the smaller
// of wLength and the buffer), hand it to the backend's protected member, and
// with KVX512_DEBUG=1 log it with its outcome. Backends therefore see only
// well-formed requests and never log themselves.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform::usb {

// The outcome of a request. Success is 0; the link compares with Success only.
enum class Status : uint32_t {
    Success = 0,
    Failed = 0x20000001,     // the request could not be carried out
    TimeOut = 0x20000002,    // nothing (or not all) moved before the time-out
    NoDevice = 0x20000003,   // the unique ID names no attached device
    Stall = 0x20000004,      // the device refused the request
};

// "Success", "Failed", "TimeOut", "NoDevice" or "Stall".
const char* StatusName(Status status);

using SetupPacket = std::array<uint8_t, 8>;

// The standard requests the link and the backends make, by name.
namespace standard {
constexpr SetupPacket SetConfiguration(uint8_t configuration) { return {0x00, 0x09, configuration, 0, 0, 0, 0, 0}; }
constexpr SetupPacket SetInterface(uint16_t interfaceNumber, uint16_t alternateSetting) {
    return {0x01,
            0x0B,
            static_cast<uint8_t>(alternateSetting),
            static_cast<uint8_t>(alternateSetting >> 8),
            static_cast<uint8_t>(interfaceNumber),
            static_cast<uint8_t>(interfaceNumber >> 8),
            0,
            0};
}
constexpr SetupPacket ClearEndpointHalt(uint8_t endpoint) { return {0x02, 0x01, 0, 0, endpoint, 0, 0, 0}; }
} // namespace standard

// The fields of a setup packet (little-endian words).
constexpr bool SetupIsIn(const SetupPacket& setup) { return (setup[0] & 0x80) != 0; }
constexpr uint16_t SetupLength(const SetupPacket& setup) { return static_cast<uint16_t>(setup[6] | (setup[7] << 8)); }

// A bulk transfer. The endpoint carries the direction in bit 7 (0x02 OUT,
// 0x83 IN). The buffer belongs to the caller and is used only during the call.
struct BulkRequest {
    uint32_t uniqueId = 0;
    uint8_t endpoint = 0;
    uint8_t* buffer = nullptr;   // read into for IN, written from for OUT
    uint32_t size = 0;
    uint32_t timeoutMs = 0;
};

// A control transfer on endpoint 0: the setup packet says direction and
// wLength; the data stage moves at most `size` bytes of `buffer`.
struct ControlRequest {
    uint32_t uniqueId = 0;
    SetupPacket setup{};
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    uint32_t timeoutMs = 0;
};

struct TransferResult {
    Status status = Status::Failed;
    uint32_t bytesMoved = 0;
    // The backend's own name for a failure ("LIBUSB_ERROR_TIMEOUT",
    // "ETIMEDOUT", ...), static storage; null when it has none. Only traced.
    const char* backendError = nullptr;
};

// A run of bulk transfers of one size on one pipe that follow one another,
// such as the blocks of a file read: transfer i moves up to `size` bytes at
// buffer + i * size. The buffer (count * size bytes) and `bytesMoved` belong
// to the caller and are used only during the call.
struct BulkQueueRequest {
    uint32_t uniqueId = 0;
    uint8_t endpoint = 0;
    uint8_t* buffer = nullptr;
    uint32_t size = 0;              // of each transfer
    uint32_t count = 0;
    // Each transfer's own time-out, counted from when the transfer before it
    // ended (the first's from the call), as if each were made on its own.
    uint32_t timeoutMs = 0;
    uint32_t* bytesMoved = nullptr; // optional, `count` entries: each succeeded transfer's bytes
};

struct BulkQueueResult {
    uint32_t completed = 0;         // transfers that succeeded, from the first on
    // The first failed transfer's outcome (the one at index `completed`); when
    // all succeeded, the last one's.
    TransferResult last;
};

struct ScanResult {
    Status status = Status::Failed;
    std::vector<uint32_t> uniqueIds;   // never 0
};

struct DriverVersion {
    Status status = Status::Failed;
    uint32_t number = 0;          // 600 stands for version 6.00
    std::string text;
};

// One entry of the operating system's list of present devices.
struct PresentDevice {
    std::string instanceId;       // e.g. USB\VID_0F9C&PID_0301\5&2A1B&0&1
    std::string classGuid;        // setup class, upper-case with braces
};

// Where an attached device is plugged in: what a person names to pick one
// player of several on a bench.
struct DeviceLocation {
    // libusb: bus number and port path ("1-4.2"); USB/IP: the server's bus ID
    // ("1-1"); the in-process bus: "sim-" and the player's place on it from 1.
    std::string id;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint32_t uniqueId = 0;        // as Scan reports the device
};

// The published setup class of USB devices.
inline constexpr const char* UsbDeviceClassGuid = "{36FC9E60-C465-11CF-8056-444553540000}";

// An open handle to the driver. Cheap to open: the link opens one per
// transfer (or run of queued transfers). Every member blocks until the
// request is done or its time-out has passed, and may be called from any
// thread; the backend serialises.
class Driver {
public:
    virtual ~Driver() = default;

    // The driver's version; called once per link open. Does not block.
    DriverVersion Version();
    // The unique IDs of attached devices with these IDs, in the backend's
    // order. May open (libusb) or import (USB/IP) a device so that later
    // requests can reach it; never transfers on the device's pipes.
    ScanResult Scan(uint16_t vendorId, uint16_t productId);
    // Claims the interface if need be and selects the alternate setting.
    Status SetInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting);
    // A bulk transfer; bytesMoved is what crossed the bus, also on failure.
    TransferResult BulkTransfer(const BulkRequest& request);
    // A run of same-size transfers on one pipe with the outcomes of making
    // them one after the other with BulkTransfer, stopping at the first that
    // fails: the same statuses, byte counts and time-outs. Backends that can
    // keep several in flight at once do so (USB/IP, libusb) and complete them
    // in order; after a failure, a time-out or a cancel they take back every
    // transfer still in flight before returning, so nothing of the run is
    // outstanding afterwards. Transfers a device had already carried out when
    // an earlier one failed stay done (an OUT transfer's data may have
    // reached it); what they moved is not reported. A null buffer moves nothing.
    BulkQueueResult BulkTransferQueue(const BulkQueueRequest& request);
    // A control transfer on endpoint 0.
    TransferResult ControlTransfer(const ControlRequest& request);
    // Clears a halt (stall) on an endpoint: CLEAR_FEATURE(ENDPOINT_HALT).
    Status ClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs);

protected:
    // What each backend carries out; called only by the members above, with
    // buffer and size already agreeing (a null buffer comes with size 0).
    virtual DriverVersion QueryVersion() = 0;
    virtual ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) = 0;
    virtual Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) = 0;
    virtual TransferResult SubmitBulk(const BulkRequest& request) = 0;
    // The run (count at least 1; bytesMoved may be null). By default one
    // SubmitBulk after the other, so a backend that moves data synchronously
    // needs nothing more.
    virtual BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& request);
    virtual TransferResult SubmitControl(const ControlRequest& request) = 0;
    virtual TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) = 0;
};

// How a handle lets go of its driver: a driver opened for the handle alone is
// destroyed, one that a backend shares between all its handles is left alone
// (so opening and closing such a handle allocates nothing).
struct DriverRelease {
    bool owned = true;
    void operator()(Driver* driver) const {
        if (owned) {
            delete driver;
        }
    }
};
using DriverHandle = std::unique_ptr<Driver, DriverRelease>;

// A handle on a driver the backend keeps, and keeps alive, for all its handles.
inline DriverHandle SharedDriverHandle(Driver& driver) { return DriverHandle(&driver, DriverRelease{false}); }

// A way of reaching players, chosen once per process by KVX512_USB.
class Backend {
public:
    virtual ~Backend() = default;
    // Null when the driver cannot be opened (as with no driver installed).
    // Cheap; may be called for every transfer.
    virtual DriverHandle OpenDriver() = 0;
    // The device list; never opens a device. May block on the network (USB/IP).
    virtual std::vector<PresentDevice> ListPresentDevices() = 0;
    // Every attached device, in the backend's order, whatever was chosen
    // (USB/IP: the server's exports, only the URL's bus ID when it names one).
    // Never opens or imports a device; may block on the network (USB/IP).
    virtual std::vector<DeviceLocation> ListLocations() = 0;
    // From now on the backend shows only the device at this location: Scan
    // finds no other and the device list lists only its entry, so that every
    // library above reaches that one player without knowing of the choice.
    // A location where nothing is attached shows nothing; empty shows every
    // device again. Each backend filters by Chosen() where it finds devices.
    void Choose(const std::string& locationId);
    // The location chosen last; empty when none is.
    std::string Chosen() const;

protected:
    // After a new choice: a backend that holds a device the choice no
    // longer shows lets go of it.
    virtual void OnChosen(const std::string& /*locationId*/) {}

private:
    mutable std::mutex choiceMutex_;
    std::string chosen_;
};

// The backend KVX512_USB names: "sim", "libusb" (the default),
// "usbip://HOST[:PORT][/BUSID]", several of those separated by spaces, or
// "replay:FILE"; with KVX512_RECORD=FILE it is recorded. An unknown value gives a backend whose
// driver cannot be opened, so every request fails as with a missing driver.
// It shows only the device KVX512_DEVICE names, when that is set.
Backend& CurrentBackend();

// Opens the driver of the current backend.
DriverHandle OpenDriver();

// The current backend's device list.
std::vector<PresentDevice> ListPresentDevices();

// The current backend's attached devices (Backend::ListLocations).
std::vector<DeviceLocation> ListLocations();

// Chooses the device the whole process reaches (Backend::Choose on the current
// backend); empty: every device, the libraries taking the first they find.
// The environment variable KVX512_DEVICE chooses one the same way when the
// backend is made, so that every program started with it agrees.
void ChooseDevice(const std::string& locationId);
// The location chosen last; empty when none is.
std::string ChosenDevice();

// Backend factories, one per file. The simulated player's is loaded from the
// module SimBackendModule (kvx512-sim's), which exports SimBackendFactory as
// `extern "C" Backend* SimBackendFactory()`, the caller owning the backend.
inline constexpr const char* SimBackendModule = "libqrm284_usb_sim.so";
inline constexpr const char* SimBackendFactory = "qrm284_make_sim_backend";
std::unique_ptr<Backend> MakeSimBackend();
std::unique_ptr<Backend> MakeLibusbBackend();
std::unique_ptr<Backend> MakeMissingDriverBackend();
// Null when the URL is not usbip://HOST[:PORT][/BUSID].
std::unique_ptr<Backend> MakeUsbipBackend(std::string_view url);
// Several such URLs separated by spaces, each server named once: one backend
// over all of them, at locations "HOST[:PORT]/BUSID". Null otherwise.
std::unique_ptr<Backend> MakeUsbipBenchBackend(std::string_view urls);
// KVX512_USB=replay:FILE: answers from a recording (usb_recording.h).
std::unique_ptr<Backend> MakeReplayBackend(std::string_view file);
// KVX512_RECORD=FILE: `inner` with every request written to the file; `inner`
// itself when the file cannot be written (said on stderr).
std::unique_ptr<Backend> MakeRecordingBackend(std::unique_ptr<Backend> inner, const std::string& file);

} // namespace platform::usb

// Real players through libusb-1.0.
#include "platform/usb/forwarding_driver.h"
#include "platform/usb/transport_error.h"
#include "platform/usb/usb_driver.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform::usb {

namespace {

constexpr uint32_t LibusbDriverVersion = 1100;

Status StatusOf(int error) {
    switch (error) {
    case LIBUSB_SUCCESS: return Status::Success;
    case LIBUSB_ERROR_TIMEOUT: return Status::TimeOut;
    case LIBUSB_ERROR_PIPE: return Status::Stall;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return Status::NoDevice;
    default: return Status::Failed;
    }
}

// A queued transfer's status as libusb's synchronous call reports the same
// outcome. A cancelled transfer is one whose time-out ran out (the run keeps
// the time-outs itself, so that each counts from the end of the one before).
int ErrorOf(libusb_transfer_status status) {
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return LIBUSB_SUCCESS;
    case LIBUSB_TRANSFER_TIMED_OUT:
    case LIBUSB_TRANSFER_CANCELLED: return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_STALL: return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_NO_DEVICE: return LIBUSB_ERROR_NO_DEVICE;
    case LIBUSB_TRANSFER_OVERFLOW: return LIBUSB_ERROR_OVERFLOW;
    case LIBUSB_TRANSFER_ERROR: break;
    }
    return LIBUSB_ERROR_IO;
}

// Transfers of a run in flight at once: the blocks of a 32 KiB read, or
// 512 KiB of writes, keep the bus busy while the next are set up.
constexpr uint32_t MaxInFlight = 64;
constexpr uint32_t MaxInFlightBytes = 512 * 1024;

void LIBUSB_CALL MarkDone(libusb_transfer* transfer) { *static_cast<int*>(transfer->user_data) = 1; }

// "1-4.2": bus number and the port path, as the device list names a device
// that is not opened (its serial number would need opening it).
std::string PortPath(libusb_device* device) {
    uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string path = std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < depth; ++i) {
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    return path;
}

// A device's unique ID: bus number and address, never 0.
uint32_t UniqueId(libusb_device* device) {
    return (uint32_t{libusb_get_bus_number(device)} << 8) | libusb_get_device_address(device);
}

class DeviceList {
public:
    explicit DeviceList(libusb_context* context) {
        const ssize_t count = libusb_get_device_list(context, &devices_);
        count_ = count > 0 ? static_cast<size_t>(count) : 0;
    }
    ~DeviceList() {
        if (devices_ != nullptr) {
            libusb_free_device_list(devices_, 1);
        }
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    libusb_device** begin() const { return devices_; }
    libusb_device** end() const { return devices_ + count_; }

private:
    libusb_device** devices_ = nullptr;
    size_t count_ = 0;
};

class LibusbBackend final : public Backend {
public:
    LibusbBackend() {
        if (libusb_init(&context_) != LIBUSB_SUCCESS) {
            context_ = nullptr;
        }
    }
    ~LibusbBackend() override {
        for (libusb_transfer* transfer : transfers_) {
            libusb_free_transfer(transfer);
        }
        for (auto& [uniqueId, opened] : opened_) {
            Close(opened);
        }
        if (context_ != nullptr) {
            libusb_exit(context_);
        }
    }
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    DriverHandle OpenDriver() override;

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> present;
        const std::string chosen = Chosen();
        for (const DeviceLocation& location : ListLocations()) {
            if (!chosen.empty() && location.id != chosen) {
                continue;
            }
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "USB\\VID_%04X&PID_%04X\\", location.vendorId, location.productId);
            present.push_back({prefix + location.id, UsbDeviceClassGuid});
        }
        return present;
    }

    std::vector<DeviceLocation> ListLocations() override {
        std::vector<DeviceLocation> locations;
        if (context_ == nullptr) {
            return locations;
        }
        for (libusb_device* device : DeviceList(context_)) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS) {
                locations.push_back({PortPath(device), descriptor.idVendor, descriptor.idProduct, UniqueId(device)});
            }
        }
        return locations;
    }

    // Only the chosen device. A device opened before that is no longer
    // listed (unplugged, or plugged in again under a new address) is closed.
    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) {
        const std::string chosen = Chosen();
        std::lock_guard lock(mutex_);
        ScanResult result{Status::Success, {}};
        if (context_ == nullptr) {
            return result;
        }
        const DeviceList devices(context_);
        std::erase_if(opened_, [&devices](const auto& entry) {
            const bool listed = std::any_of(devices.begin(), devices.end(), [&entry](libusb_device* device) {
                return UniqueId(device) == entry.first;
            });
            if (!listed) {
                Close(entry.second);
            }
            return !listed;
        });
        for (libusb_device* device : devices) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
                descriptor.idVendor != vendorId || descriptor.idProduct != productId ||
                (!chosen.empty() && PortPath(device) != chosen)) {
                continue;
            }
            const uint32_t uniqueId = UniqueId(device);
            if (opened_.count(uniqueId) == 0) {
                libusb_device_handle* handle = nullptr;
                if (const int error = libusb_open(device, &handle); error != LIBUSB_SUCCESS) {
                    if (error == LIBUSB_ERROR_ACCESS) {
                        SetTransportError("The player at " + PortPath(device) +
                                          " cannot be opened: permission denied. Install the udev rule "
                                          "70-qrm284-player.rules (it gives the user at the machine access with "
                                          "uaccess), then plug the player in again.");
                    }
                    continue;   // no permission (udev rule missing) or gone
                }
                opened_[uniqueId] = {handle, false};
            }
            result.uniqueIds.push_back(uniqueId);
        }
        // A reason stays until a player is reached: the link scans one
        // product ID after the other, and the next scan knows nothing of it.
        if (!result.uniqueIds.empty()) {
            SetTransportError({});
        }
        return result;
    }

    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
        std::lock_guard lock(mutex_);
        Opened* opened = Find(uniqueId);
        if (opened == nullptr) {
            return Status::NoDevice;
        }
        if (!opened->claimed) {
            libusb_set_auto_detach_kernel_driver(opened->handle, 1);
            const int claimed = libusb_claim_interface(opened->handle, interfaceNumber);
            if (claimed != LIBUSB_SUCCESS) {
                if (claimed == LIBUSB_ERROR_BUSY) {
                    SetTransportError("The player is in use by another program; close that program and try again.");
                }
                return Outcome(uniqueId, claimed).status;
            }
            opened->claimed = true;
        }
        const int error = libusb_set_interface_alt_setting(opened->handle, interfaceNumber, alternateSetting);
        if (error == LIBUSB_ERROR_PIPE && alternateSetting == 0) {
            return Status::Success;   // a device with only the default setting may refuse the request
        }
        return Outcome(uniqueId, error).status;
    }

    TransferResult SubmitBulk(const BulkRequest& request) {
        return OnDevice(request.uniqueId, [&](libusb_device_handle* handle) {
            int moved = 0;
            const int error = libusb_bulk_transfer(handle, request.endpoint, request.buffer,
                                                   static_cast<int>(request.size), &moved, request.timeoutMs);
            return Outcome(request.uniqueId, error, static_cast<uint32_t>(std::max(moved, 0)));
        });
    }

    // The run as asynchronous transfers, up to a window of them submitted at
    // once and reaped in order; the first failure or time-out cancels the
    // rest, and all are reaped before the call returns.
    BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& run) {
        std::lock_guard lock(mutex_);
        Opened* opened = Find(run.uniqueId);
        if (opened == nullptr) {
            return {0, {Status::NoDevice, 0, nullptr}};
        }
        const uint32_t byBytes = run.size > 0 ? std::max<uint32_t>(1, MaxInFlightBytes / run.size) : MaxInFlight;
        const uint32_t window = std::min({MaxInFlight, byBytes, run.count});
        while (transfers_.size() < window) {
            libusb_transfer* transfer = libusb_alloc_transfer(0);
            if (transfer == nullptr) {
                break;
            }
            transfers_.push_back(transfer);
        }
        if (transfers_.empty()) {
            return {0, {Status::Failed, 0, libusb_error_name(LIBUSB_ERROR_NO_MEM)}};
        }
        Queue queue{run, opened->handle, std::min<uint32_t>(window, static_cast<uint32_t>(transfers_.size()))};
        done_.assign(queue.window, 0);
        return RunQueue(queue);
    }

    TransferResult SubmitControl(const ControlRequest& request) {
        return OnDevice(request.uniqueId, [&](libusb_device_handle* handle) {
            const auto& setup = request.setup;
            // The seam has cut the data stage to wLength, so it fits libusb's 16 bits.
            const int moved = libusb_control_transfer(
                handle, setup[0], setup[1], static_cast<uint16_t>(setup[2] | (setup[3] << 8)),
                static_cast<uint16_t>(setup[4] | (setup[5] << 8)), request.buffer,
                static_cast<uint16_t>(request.size), request.timeoutMs);
            return Outcome(request.uniqueId, moved < 0 ? moved : LIBUSB_SUCCESS,
                           static_cast<uint32_t>(std::max(moved, 0)));
        });
    }

    // libusb_clear_halt takes no time-out of ours.
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t /*timeoutMs*/) {
        return OnDevice(uniqueId, [&](libusb_device_handle* handle) {
            return Outcome(uniqueId, libusb_clear_halt(handle, endpoint));
        });
    }

protected:
    // Lets go of the devices the new choice does not show, so that another
    // program may claim them.
    void OnChosen(const std::string& locationId) override {
        std::lock_guard lock(mutex_);
        if (context_ == nullptr || locationId.empty()) {
            return;
        }
        for (libusb_device* device : DeviceList(context_)) {
            const auto found = opened_.find(UniqueId(device));
            if (found != opened_.end() && PortPath(device) != locationId) {
                Close(found->second);
                opened_.erase(found);
            }
        }
    }

private:
    struct Opened {
        libusb_device_handle* handle = nullptr;
        bool claimed = false;
    };

    static void Close(const Opened& opened) {
        if (opened.claimed) {
            libusb_release_interface(opened.handle, 0);
        }
        libusb_close(opened.handle);
    }

    struct Queue {
        const BulkQueueRequest& run;
        libusb_device_handle* handle = nullptr;
        uint32_t window = 0;
        uint32_t head = 0;            // the first not yet reaped
        uint32_t next = 0;            // the next to submit
        size_t Slot(uint32_t index) const { return index % window; }
    };

    int Submit(Queue& queue, uint32_t index) {
        const size_t slot = queue.Slot(index);
        done_[slot] = 0;
        uint8_t* buffer = queue.run.buffer != nullptr ? queue.run.buffer + size_t{index} * queue.run.size : nullptr;
        libusb_fill_bulk_transfer(transfers_[slot], queue.handle, queue.run.endpoint, buffer,
                                  static_cast<int>(queue.run.size), MarkDone, &done_[slot], 0);
        return libusb_submit_transfer(transfers_[slot]);
    }

    // Waits for libusb's events until the deadline (or a while, without one).
    void HandleEvents(std::chrono::steady_clock::time_point deadline) {
        auto rest = std::chrono::microseconds(1000000);
        if (deadline != std::chrono::steady_clock::time_point::max()) {
            rest = std::min(rest, std::max(std::chrono::microseconds(0),
                                           std::chrono::ceil<std::chrono::microseconds>(
                                               deadline - std::chrono::steady_clock::now())));
        }
        timeval wait{static_cast<time_t>(rest.count() / 1000000), static_cast<suseconds_t>(rest.count() % 1000000)};
        libusb_handle_events_timeout_completed(context_, &wait, nullptr);
    }

    // Cancels every transfer from `first` on that is still in flight and reaps them all.
    void CancelFrom(Queue& queue, uint32_t first) {
        for (uint32_t index = first; index < queue.next; ++index) {
            if (done_[queue.Slot(index)] == 0) {
                libusb_cancel_transfer(transfers_[queue.Slot(index)]);
            }
        }
        for (uint32_t index = first; index < queue.next; ++index) {
            while (done_[queue.Slot(index)] == 0) {
                HandleEvents(std::chrono::steady_clock::time_point::max());
            }
        }
    }

    BulkQueueResult RunQueue(Queue& queue) {
        const BulkQueueRequest& run = queue.run;
        TransferResult last{Status::Success, 0, nullptr};
        int submitError = LIBUSB_SUCCESS;
        auto headSince = std::chrono::steady_clock::now();
        for (;;) {
            while (queue.head < queue.next && done_[queue.Slot(queue.head)] != 0) {
                const libusb_transfer* transfer = transfers_[queue.Slot(queue.head)];
                const int error = ErrorOf(transfer->status);
                const auto moved = static_cast<uint32_t>(std::max(transfer->actual_length, 0));
                if (error != LIBUSB_SUCCESS) {
                    CancelFrom(queue, queue.head + 1);
                    return {queue.head, Outcome(run.uniqueId, error, moved)};
                }
                if (run.bytesMoved != nullptr) {
                    run.bytesMoved[queue.head] = moved;
                }
                last = {Status::Success, moved, nullptr};
                ++queue.head;
                headSince = std::chrono::steady_clock::now();
            }
            if (queue.head == run.count) {
                return {run.count, last};
            }
            while (submitError == LIBUSB_SUCCESS && queue.next < run.count && queue.next - queue.head < queue.window) {
                submitError = Submit(queue, queue.next);
                if (submitError == LIBUSB_SUCCESS) {
                    ++queue.next;
                }
            }
            if (queue.head == queue.next) {
                // Nothing in flight: the head itself could not be submitted.
                return {queue.head, Outcome(run.uniqueId, submitError)};
            }
            const auto deadline = run.timeoutMs == 0 ? std::chrono::steady_clock::time_point::max()
                                                     : headSince + std::chrono::milliseconds(run.timeoutMs);
            if (std::chrono::steady_clock::now() >= deadline && done_[queue.Slot(queue.head)] == 0) {
                // Its time-out ran out: taken back. One that completed
                // meanwhile is reaped as completed above.
                libusb_cancel_transfer(transfers_[queue.Slot(queue.head)]);
                while (done_[queue.Slot(queue.head)] == 0) {
                    HandleEvents(std::chrono::steady_clock::time_point::max());
                }
                continue;
            }
            HandleEvents(deadline);
        }
    }


    Opened* Find(uint32_t uniqueId) {
        const auto found = opened_.find(uniqueId);
        return found == opened_.end() ? nullptr : &found->second;
    }

    // Runs a transfer on the device's handle, holding the lock; NoDevice when
    // no scan has opened it.
    template <class Transfer>
    TransferResult OnDevice(uint32_t uniqueId, Transfer transfer) {
        std::lock_guard lock(mutex_);
        Opened* opened = Find(uniqueId);
        if (opened == nullptr) {
            return {Status::NoDevice, 0, nullptr};
        }
        return transfer(opened->handle);
    }

    // The outcome of a libusb result; a device that is gone is closed, so
    // that the next scan opens it afresh when it comes back.
    TransferResult Outcome(uint32_t uniqueId, int error, uint32_t moved = 0) {
        if (error == LIBUSB_ERROR_NO_DEVICE) {
            if (Opened* opened = Find(uniqueId)) {
                libusb_close(opened->handle);
                opened_.erase(uniqueId);
            }
        }
        return {StatusOf(error), moved, error == LIBUSB_SUCCESS ? nullptr : libusb_error_name(error)};
    }

    std::mutex mutex_;
    libusb_context* context_ = nullptr;
    std::map<uint32_t, Opened> opened_;
    // The port path the process was narrowed to (empty for all), with a lock
    // of its own: the device list must not wait for a transfer.
    // The asynchronous transfers of runs and their done flags, kept between runs.
    std::vector<libusb_transfer*> transfers_;
    std::vector<int> done_;
    ForwardingDriver<LibusbBackend> driver_{*this, LibusbDriverVersion, "libusb-1.0"};
};

DriverHandle LibusbBackend::OpenDriver() {
    if (context_ == nullptr) {
        return nullptr;   // libusb could not start: as a machine without the driver
    }
    return SharedDriverHandle(driver_);
}

} // namespace

std::unique_ptr<Backend> MakeLibusbBackend() { return std::make_unique<LibusbBackend>(); }

} // namespace platform::usb

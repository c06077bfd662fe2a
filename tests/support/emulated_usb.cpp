#include "tests/support/emulated_usb.h"

#include "sim/server/device_descriptors.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::string HexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
    return text;
}

} // namespace

// The node's parts, outside the anonymous namespace since State holds them.
namespace emulated {

// One URB between its SUBMITURB and its reap. The resolved copies of the
// host's urb and buffer are written back to the host when it is reaped.
struct Urb {
    UMockdevIoctlData* urb = nullptr;      // a reference of ours
    UMockdevIoctlData* buffer = nullptr;   // a reference of ours; null without a buffer
    uint8_t type = 0;
    uint8_t endpoint = 0;
    uint64_t clientAddress = 0;            // the host's urb, as DISCARDURB names it
    int status = 0;
    int actual = 0;

    usbdevfs_urb& Fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
    uint8_t* Data() const { return buffer != nullptr ? buffer->data : nullptr; }
    uint32_t Length() const { return buffer != nullptr ? static_cast<uint32_t>(buffer->data_len) : 0; }
};

void Release(Urb& urb) {
    if (urb.buffer != nullptr) {
        g_object_unref(urb.buffer);
    }
    g_object_unref(urb.urb);
}

// One player's node. Guarded by State::mutex.
struct Node {
    EmulatedUsb::State* owner = nullptr;
    int port = 0;
    int address = 0;
    std::string devNode;            // /dev/bus/usb/001/NNN
    std::string sysPath;
    std::string fifoPath;           // the node in the testbed: a FIFO, see SetReapable
    int fifo = -1;                  // ours, both ends
    std::unique_ptr<kvx512sim::server::UsbDevice> device;
    UMockdevIoctlBase* handler = nullptr;
    bool removed = false;
    bool held = false;
    std::set<unsigned> claimed;
    std::set<uint8_t> stalled;
    std::deque<Urb> pendingIn;      // bulk IN URBs the player has not answered, in order
    std::deque<Urb> heldOut;        // bulk OUT URBs not taken (HoldOutAfter)
    int outBeforeHold = -1;         // OUT URBs still taken before the rest are held; -1: all
    std::deque<Urb> reapable;
    std::vector<std::string> requests;

    // libusb polls the node for POLLOUT before it reaps. A FIFO is writable
    // while it has room: kept full while nothing is reapable, so that poll
    // blocks as on a real node, and empty while something is.
    void SetReapable() {
        const bool ready = removed || !reapable.empty();
        char chunk[4096] = {};
        if (ready) {
            while (read(fifo, chunk, sizeof chunk) > 0) {
            }
        } else {
            while (write(fifo, chunk, sizeof chunk) > 0) {
            }
            while (write(fifo, chunk, 1) > 0) {
            }
        }
    }
};

} // namespace emulated

using emulated::Node;
using emulated::Urb;
using emulated::Release;

struct EmulatedUsb::State {
    UMockdevTestbed* testbed = nullptr;
    std::string rootDir;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::map<int, std::unique_ptr<Node>> nodes;   // by port
    std::vector<std::unique_ptr<Node>> gone;      // unplugged, kept while hosts may hold them
    EmulatedUsb* self = nullptr;
    // What is plugged in at each port, so that the node follows its player:
    // a player that detaches is unplugged, one that attaches again plugged in anew.
    struct Port {
        kvx512sim::server::PlayerSource player;
        bool attached = true;   // as last seen
    };
    std::map<int, Port> ports;
    int nextAddress = 2;
    uint64_t emptyReaps = 0;
    bool stopping = false;
    std::thread pump;

    Node* ByPort(int port) {
        const auto found = nodes.find(port);
        if (found == nodes.end()) {
            throw std::invalid_argument("no player plugged in at port " + std::to_string(port));
        }
        return found->second.get();
    }

    // Answers the bulk IN URBs the player now has something for, in order
    // per endpoint; the time the next one is due, if any.
    std::optional<Clock::time_point> Pump() {
        std::optional<Clock::time_point> next;
        {
            for (auto& [port, node] : nodes) {
                std::set<uint8_t> waiting;
                for (auto urb = node->pendingIn.begin(); urb != node->pendingIn.end();) {
                    if (waiting.count(urb->endpoint) != 0) {
                        ++urb;
                        continue;
                    }
                    const auto answer = node->device->BulkIn(urb->endpoint & 0x7F, urb->Data(), urb->Length());
                    if (!answer) {
                        waiting.insert(urb->endpoint);
                        if (const auto due = node->device->BulkInDueAt(urb->endpoint & 0x7F)) {
                            next = next ? std::min(*next, *due) : *due;
                        }
                        ++urb;
                        continue;
                    }
                    urb->status = answer->status;
                    urb->actual = static_cast<int>(answer->actual);
                    node->reapable.push_back(*urb);
                    urb = node->pendingIn.erase(urb);
                }
                node->SetReapable();
            }
        }
        return next;
    }

    void PumpLoop() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            for (auto& [port, plugged] : ports) {
                const auto player = plugged.player();
                if (player->Attached() == plugged.attached) {
                    continue;
                }
                plugged.attached = player->Attached();
                const int changed = port;
                const auto source = plugged.player;
                const bool present = nodes.count(port) != 0;
                lock.unlock();
                if (plugged.attached && !present) {
                    self->Plug(changed, source, player->ProductId());
                } else if (!plugged.attached && present) {
                    self->Unplug(changed);
                }
                lock.lock();
                break;   // the map may have changed
            }
            const auto next = Pump();
            // A reply the player holds back for a while (format pace) is
            // due at a known time; anything else follows a request, which wakes us.
            const auto until = next ? std::min(*next, Clock::now() + std::chrono::milliseconds(50))
                                    : Clock::now() + std::chrono::milliseconds(50);
            wake.wait_until(lock, until);
        }
    }
};

namespace {

void Complete(UMockdevIoctlClient* client, int error) {
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

uint32_t Capabilities() {
    return USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_BULK_CONTINUATION;
}

// The unsigned int an ioctl's argument points at.
std::optional<unsigned> Number(UMockdevIoctlData* arg) {
    g_autoptr(UMockdevIoctlData) value = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
    if (value == nullptr) {
        return std::nullopt;
    }
    unsigned number = 0;
    std::memcpy(&number, value->data, sizeof number);
    return number;
}

// The interface an endpoint belongs to: the player has one, with every endpoint.
bool Claimed(const Node& node, uint8_t endpoint) { return (endpoint & 0x7F) == 0 || node.claimed.count(0) != 0; }

// A URB carried out at once: bulk OUT and control through the device model,
// a stalled endpoint refused; bulk IN queued for the player's answer.
void Submit(Node& node, Urb urb) {
    auto& device = *node.device;
    if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
        std::array<uint8_t, 8> setup{};
        if (urb.Length() < 8) {
            urb.status = -EINVAL;
        } else {
            std::memcpy(setup.data(), urb.Data(), 8);
            const bool in = (setup[0] & 0x80) != 0;
            if (setup[0] == 0xC0 && setup[1] == kvx512sim::server::TestRequestPendingCount && urb.Length() >= 10) {
                // As the USB/IP server answers it: what the device still holds of this host's URBs.
                const size_t held = node.pendingIn.size() + node.heldOut.size();
                urb.Data()[8] = static_cast<uint8_t>(held);
                urb.Data()[9] = static_cast<uint8_t>(held >> 8);
                urb.actual = 2;
                node.reapable.push_back(urb);
                return;
            }
            const uint32_t stage = urb.Length() - 8;
            auto result = device.Control(setup, in ? nullptr : urb.Data() + 8, in ? 0 : stage, in ? stage : 0);
            urb.status = result.status;
            if (in) {
                const auto moved = std::min<size_t>(result.inData.size(), stage);
                std::memcpy(urb.Data() + 8, result.inData.data(), moved);
                urb.actual = static_cast<int>(moved);
            } else {
                urb.actual = static_cast<int>(result.status == 0 ? stage : 0);
            }
        }
        node.requests.push_back("submit control " + HexByte(setup[0]) + " " + HexByte(setup[1]));
        node.reapable.push_back(urb);
        return;
    }
    node.requests.push_back("submit bulk " + HexByte(urb.endpoint) + " " + std::to_string(urb.Length()));
    if (node.stalled.count(urb.endpoint) != 0) {
        urb.status = -EPIPE;
        node.reapable.push_back(urb);
    } else if ((urb.endpoint & 0x80) != 0) {
        node.pendingIn.push_back(urb);
    } else if (node.outBeforeHold == 0) {
        node.heldOut.push_back(urb);
    } else {
        if (node.outBeforeHold > 0) {
            --node.outBeforeHold;
        }
        const auto result = device.BulkOut(urb.endpoint, urb.Data(), urb.Length());
        urb.status = result.status;
        urb.actual = static_cast<int>(result.actual);
        node.reapable.push_back(urb);
    }
}

// The next reapable URB written back into the host's memory.
void Reap(Node& node, UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (node.reapable.empty()) {
        ++node.owner->emptyReaps;
        Complete(client, node.removed ? ENODEV : EAGAIN);
        return;
    }
    Urb urb = node.reapable.front();
    node.reapable.pop_front();
    usbdevfs_urb& fields = urb.Fields();
    fields.status = urb.status;
    fields.actual_length = urb.actual;
    g_autoptr(UMockdevIoctlData) where = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(where, 0, urb.urb);
    Complete(client, 0);
    Release(urb);
}

void Discard(Node& node, UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    uint64_t address = 0;
    std::memcpy(&address, arg->data, sizeof address);
    for (auto* list : {&node.pendingIn, &node.heldOut}) {
        const auto found = std::find_if(list->begin(), list->end(),
                                        [address](const Urb& urb) { return urb.clientAddress == address; });
        if (found != list->end()) {
            node.requests.push_back("discard " + HexByte(found->endpoint));
            Urb urb = *found;
            list->erase(found);
            urb.status = -ENOENT;
            urb.actual = 0;
            node.reapable.push_back(urb);
            Complete(client, 0);
            return;
        }
    }
    Complete(client, EINVAL);   // done already: the host reaps it as it ended
}

gboolean HandleIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client, gpointer data) {
    auto& node = *static_cast<Node*>(data);
    std::lock_guard lock(node.owner->mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (node.removed && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        Complete(client, ENODEV);
        return TRUE;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        g_autoptr(UMockdevIoctlData) caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        const uint32_t value = Capabilities();
        std::memcpy(caps->data, &value, sizeof value);
        Complete(client, 0);
        break;
    }
    case USBDEVFS_GETDRIVER: Complete(client, ENODATA); break;   // no kernel driver bound
    case USBDEVFS_IOCTL: Complete(client, ENODATA); break;       // connect/disconnect a kernel driver: none
    case USBDEVFS_CLAIMINTERFACE: {
        const auto number = Number(arg);
        node.requests.push_back("claim " + std::to_string(number.value_or(~0u)));
        if (!number || *number != 0) {
            Complete(client, ENOENT);
        } else if (node.held) {
            Complete(client, EBUSY);
        } else {
            node.claimed.insert(*number);
            Complete(client, 0);
        }
        break;
    }
    case USBDEVFS_RELEASEINTERFACE: {
        const auto number = Number(arg);
        node.requests.push_back("release " + std::to_string(number.value_or(~0u)));
        Complete(client, number && node.claimed.erase(*number) != 0 ? 0 : EINVAL);
        break;
    }
    case USBDEVFS_SETINTERFACE: {
        g_autoptr(UMockdevIoctlData) value =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr);
        usbdevfs_setinterface setting{};
        std::memcpy(&setting, value->data, sizeof setting);
        node.requests.push_back("setinterface " + std::to_string(setting.interface) + " " +
                                std::to_string(setting.altsetting));
        if (node.claimed.count(setting.interface) == 0) {
            Complete(client, EINVAL);
            break;
        }
        const auto result = node.device->Control(
            std::array<uint8_t, 8>{0x01, 0x0B, static_cast<uint8_t>(setting.altsetting), 0,
                                                     static_cast<uint8_t>(setting.interface), 0, 0, 0},
            nullptr, 0, 0);
        Complete(client, result.status == 0 ? 0 : -result.status);
        break;
    }
    case USBDEVFS_CLEAR_HALT: {
        const auto endpoint = static_cast<uint8_t>(Number(arg).value_or(0));
        node.requests.push_back("clearhalt " + HexByte(endpoint));
        node.stalled.erase(endpoint);
        const auto result = node.device->Control({0x02, 0x01, 0, 0, endpoint, 0, 0, 0}, nullptr, 0, 0);
        Complete(client, result.status == 0 ? 0 : -result.status);
        break;
    }
    case USBDEVFS_SUBMITURB: {
        Urb urb;
        urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        urb.clientAddress = urb.urb->client_addr;
        const usbdevfs_urb fields = urb.Fields();
        urb.type = fields.type;
        urb.endpoint = fields.endpoint;
        if (fields.buffer_length > 0) {
            urb.buffer = umockdev_ioctl_data_resolve(urb.urb, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                                     static_cast<size_t>(fields.buffer_length), nullptr);
        }
        if ((urb.type != USBDEVFS_URB_TYPE_BULK && urb.type != USBDEVFS_URB_TYPE_CONTROL) ||
            (urb.type == USBDEVFS_URB_TYPE_BULK && urb.endpoint != 0x02 && urb.endpoint != 0x82 &&
             urb.endpoint != 0x83)) {
            Release(urb);
            Complete(client, EINVAL);
            break;
        }
        if (!Claimed(node, urb.endpoint)) {
            // A kernel would claim it on the host's behalf; a backend that
            // forgot to claim would meet EBUSY wherever another driver holds it.
            node.requests.push_back("submit unclaimed " + HexByte(urb.endpoint));
            Release(urb);
            Complete(client, EBUSY);
            break;
        }
        Submit(node, urb);
        Complete(client, 0);
        node.owner->Pump();
        node.owner->wake.notify_all();
        break;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: Reap(node, client, arg); node.SetReapable(); break;
    case USBDEVFS_DISCARDURB: Discard(node, client, arg); node.SetReapable(); break;
    default: Complete(client, ENOTTY); break;
    }
    return TRUE;
}

} // namespace

std::string EmulatedUsb::Unavailable() {
    // umockdev_in_mock_environment() can tell only once a testbed exists.
    void* preload = dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (preload != nullptr) {
        dlclose(preload);
    } else {
        return "umockdev's preload library is not loaded (link libumockdev-preload or run under umockdev-wrapper)";
    }
    return {};
}

EmulatedUsb::EmulatedUsb() : state_(std::make_unique<State>()) {
    state_->testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(state_->testbed);
    state_->rootDir = root;
    state_->self = this;
    g_free(root);
    state_->pump = std::thread([state = state_.get()] { state->PumpLoop(); });
}

EmulatedUsb::~EmulatedUsb() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    state_->pump.join();
    g_object_unref(state_->testbed);
    for (auto* list : {&state_->gone}) {
        for (auto& [port, node] : state_->nodes) {
            list->push_back(std::move(node));
        }
        for (auto& node : *list) {
            for (auto* urbs : {&node->pendingIn, &node->heldOut, &node->reapable}) {
                for (Urb& urb : *urbs) {
                    Release(urb);
                }
            }
            g_object_unref(node->handler);
            close(node->fifo);
        }
    }
}

void EmulatedUsb::Plug(int port, kvx512sim::server::PlayerSource player, uint16_t productId) {
    auto node = std::make_unique<Node>();
    Node& n = *node;
    n.owner = state_.get();
    n.port = port;
    {
        std::lock_guard lock(state_->mutex);
        n.address = state_->nextAddress++;
    }
    char devName[32];
    std::snprintf(devName, sizeof devName, "bus/usb/001/%03d", n.address);
    n.devNode = std::string("/dev/") + devName;
    n.fifoPath = state_->rootDir + n.devNode;
    n.device = std::make_unique<kvx512sim::server::UsbDevice>(player, nullptr, true);
    n.handler = umockdev_ioctl_base_new();
    g_signal_connect_after(n.handler, "handle-ioctl", G_CALLBACK(HandleIoctl), &n);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(state_->testbed, n.devNode.c_str(), n.handler, &error)) {
        const std::string message = error != nullptr ? error->message : "attach failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
    std::vector<uint8_t> descriptors = kvx512sim::server::DeviceDescriptor(kvx512sim::VendorId, productId);
    const auto configuration = kvx512sim::server::ConfigurationDescriptor();
    descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
    char product[32];
    std::snprintf(product, sizeof product, "%x/%x/%x", kvx512sim::VendorId, productId,
                  kvx512sim::server::DeviceRelease);
    const std::string name = "1-" + std::to_string(port);
    const std::string description = "P: /devices/pci0000:00/0000:00:14.0/usb1/" + name + "\n" +
                                    "N: " + devName + "\n" +
                                    "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" +
                                    "E: BUSNUM=001\nE: DEVNUM=" + std::string(devName).substr(12) + "\n" +
                                    "E: DEVNAME=" + n.devNode + "\nE: PRODUCT=" + product + "\n" +
                                    "A: busnum=1\\n\nA: devnum=" + std::to_string(n.address) + "\\n\n" +
                                    "A: bConfigurationValue=1\\n\nA: speed=480\\n\n" +
                                    "H: descriptors=" + Hex(descriptors) + "\n";
    if (!umockdev_testbed_add_from_string(state_->testbed, description.c_str(), &error)) {
        const std::string message = error != nullptr ? error->message : "add failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
    // The testbed made the node a plain file; libusb opens it only when a
    // scan asks for the device, well after the uevent.
    std::remove(n.fifoPath.c_str());
    if (mkfifo(n.fifoPath.c_str(), 0666) != 0) {
        throw std::runtime_error("mkfifo " + n.fifoPath + ": " + std::strerror(errno));
    }
    chmod(n.fifoPath.c_str(), 0666);
    n.fifo = open(n.fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    {
        std::lock_guard lock(state_->mutex);
        n.SetReapable();
    }
    gchar* sysPath = g_build_filename("/sys/devices/pci0000:00/0000:00:14.0/usb1", name.c_str(), nullptr);
    n.sysPath = sysPath;
    g_free(sysPath);
    std::lock_guard lock(state_->mutex);
    if (auto old = state_->nodes.find(port); old != state_->nodes.end()) {
        state_->gone.push_back(std::move(old->second));
    }
    state_->nodes[port] = std::move(node);
    state_->ports[port] = {player, player()->Attached()};
}

void EmulatedUsb::Unplug(int port) {
    std::string sysPath;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->nodes.count(port) == 0) {
            return;   // not plugged in
        }
        Node& node = *state_->ByPort(port);
        node.removed = true;
        for (auto* list : {&node.pendingIn, &node.heldOut}) {
            for (Urb& urb : *list) {
                urb.status = -ENODEV;
                urb.actual = 0;
                node.reapable.push_back(urb);
            }
            list->clear();
        }
        node.SetReapable();
        sysPath = node.sysPath;
        state_->gone.push_back(std::move(state_->nodes[port]));
        state_->nodes.erase(port);
    }
    umockdev_testbed_uevent(state_->testbed, sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(state_->testbed, sysPath.c_str());
}

void EmulatedUsb::StallEndpoint(int port, uint8_t endpoint) {
    std::lock_guard lock(state_->mutex);
    state_->ByPort(port)->stalled.insert(endpoint);
}

void EmulatedUsb::HoldOutAfter(int port, int urbs) {
    std::lock_guard lock(state_->mutex);
    Node& node = *state_->ByPort(port);
    node.outBeforeHold = urbs;
    if (urbs < 0) {
        for (Urb& urb : node.heldOut) {
            urb.actual = static_cast<int>(node.device->BulkOut(urb.endpoint, urb.Data(), urb.Length()).actual);
            node.reapable.push_back(urb);
        }
        node.heldOut.clear();
        node.SetReapable();
    }
}

void EmulatedUsb::HoldInterface(int port, bool held) {
    std::lock_guard lock(state_->mutex);
    state_->ByPort(port)->held = held;
}

void EmulatedUsb::DenyAccess(int port, bool denied) {
    std::lock_guard lock(state_->mutex);
    chmod(state_->ByPort(port)->fifoPath.c_str(), denied ? 0 : 0666);
}

std::vector<std::string> EmulatedUsb::Requests(int port) const {
    std::lock_guard lock(state_->mutex);
    if (state_->nodes.count(port) != 0) {
        return state_->ByPort(port)->requests;
    }
    for (auto node = state_->gone.rbegin(); node != state_->gone.rend(); ++node) {
        if ((*node)->port == port) {
            return (*node)->requests;
        }
    }
    return {};
}

void EmulatedUsb::ClearRequests() {
    std::lock_guard lock(state_->mutex);
    for (auto& [port, node] : state_->nodes) {
        node->requests.clear();
    }
    for (auto& node : state_->gone) {
        node->requests.clear();
    }
}

bool EmulatedUsb::NodeOpen(int port) const {
    std::string path;
    int ours = -1;
    {
        std::lock_guard lock(state_->mutex);
        for (const auto& node : state_->gone) {
            if (node->port == port) {
                path = node->fifoPath;
                ours = node->fifo;
            }
        }
        if (state_->nodes.count(port) != 0) {
            path = state_->ByPort(port)->fifoPath;
            ours = state_->ByPort(port)->fifo;
        }
    }
    // The hosts are in this process: an open descriptor of the node's FIFO other than ours.
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && !path.empty() && target.rfind(path, 0) == 0 && entry.path().filename() != std::to_string(ours)) {
            return true;
        }
    }
    return false;
}

size_t EmulatedUsb::UrbsInFlight() const {
    std::lock_guard lock(state_->mutex);
    size_t pending = 0;
    for (const auto& [port, node] : state_->nodes) {
        pending += node->pendingIn.size() + node->heldOut.size();
    }
    return pending;
}

uint64_t EmulatedUsb::EmptyReaps() const {
    std::lock_guard lock(state_->mutex);
    return state_->emptyReaps;
}

namespace {

bool Capabilities(int operation, uint32_t (&effective)[2], uint32_t (&permitted)[2], uint32_t (&inheritable)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (operation == SYS_capset) {
        for (int i = 0; i < 2; ++i) {
            data[i] = {effective[i], permitted[i], inheritable[i]};
        }
    }
    if (syscall(operation, &header, data) != 0) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        effective[i] = data[i].effective;
        permitted[i] = data[i].permitted;
        inheritable[i] = data[i].inheritable;
    }
    return true;
}

} // namespace

DacOverrideDropped::DacOverrideDropped() {
    uint32_t effective[2], permitted[2], inheritable[2];
    if (!Capabilities(SYS_capget, effective, permitted, inheritable)) {
        return;
    }
    saved_[0] = effective[0];
    saved_[1] = effective[1];
    effective[0] &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = Capabilities(SYS_capset, effective, permitted, inheritable);
}

DacOverrideDropped::~DacOverrideDropped() {
    uint32_t effective[2], permitted[2], inheritable[2];
    if (dropped_ && Capabilities(SYS_capget, effective, permitted, inheritable)) {
        effective[0] = saved_[0];
        effective[1] = saved_[1];
        Capabilities(SYS_capset, effective, permitted, inheritable);
    }
}

} // namespace testsupport

// Simulated players as libusb finds real ones on Linux: a umockdev testbed
// with a sysfs device and a usbdevfs node per player, whose ioctls (claim,
// URBs, reaping, halts) are answered in this process by the simulated
// player's own USB device model. libusb runs unchanged above it.
//
// The process must have umockdev's preload library loaded (tests link it);
// the testbed must exist before libusb starts (before the first use of the
// USB backend), since libusb reads the device tree once and then follows
// uevents.
#pragma once

#include "sim/server/usb_device.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class EmulatedUsb {
public:
    // Empty when players can be emulated here; otherwise why not.
    static std::string Unavailable();

    EmulatedUsb();
    ~EmulatedUsb();
    EmulatedUsb(const EmulatedUsb&) = delete;
    EmulatedUsb& operator=(const EmulatedUsb&) = delete;

    // Plugs a player in at bus 1, port `port` (location "1-<port>"), served
    // by `player` (looked up for every request) with this product ID in its
    // descriptors. A port plugged again gets a new device address. From then
    // on the node follows the player: when it detaches (a firmware restart,
    // a detach knob) the node is unplugged, when it attaches it is plugged
    // in anew with the player's product ID.
    void Plug(int port, kvx512sim::server::PlayerSource player, uint16_t productId = 0x0301);
    // The player goes: "remove" uevent; URBs in flight end with -ENODEV and
    // every later request on an open node fails with ENODEV.
    void Unplug(int port);

    // Knobs on the node (the player's own knobs withhold replies and fail transfers).
    // Every URB on the endpoint fails with -EPIPE until a CLEAR_HALT of it.
    void StallEndpoint(int port, uint8_t endpoint);
    // After `urbs` more bulk OUT URBs, the player takes no more (they stay
    // in flight, as a device that keeps NAKing); -1 takes the held ones and
    // every later one again.
    void HoldOutAfter(int port, int urbs);
    // Another program holds the interface: CLAIMINTERFACE fails with EBUSY.
    void HoldInterface(int port, bool held);
    // The node's mode becomes 0000 (or back to 0666): opening it fails with
    // EACCES for a process without CAP_DAC_OVERRIDE (see DacOverrideDropped).
    void DenyAccess(int port, bool denied);

    // What the host asked of the node, one line each, in order:
    // "claim 0", "release 0", "setinterface 0 0", "clearhalt 0x82",
    // "submit bulk 0x02 512", "submit control 0x40 0x01", "discard 0x83".
    std::vector<std::string> Requests(int port) const;
    void ClearRequests();
    // Whether a host in this process holds the port's node (its latest) open.
    bool NodeOpen(int port) const;
    // Bulk URBs submitted and not yet answered, over all nodes.
    size_t UrbsInFlight() const;
    // REAPURBNDELAY requests that found nothing to reap, over all nodes.
    uint64_t EmptyReaps() const;

    // The testbed and its nodes (in the source file).
    struct State;

private:
    std::unique_ptr<State> state_;
};

// While alive, the calling thread (only it) lacks CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH, so that a node of mode 0000 refuses even root.
class DacOverrideDropped {
public:
    DacOverrideDropped();
    ~DacOverrideDropped();
    DacOverrideDropped(const DacOverrideDropped&) = delete;
    DacOverrideDropped& operator=(const DacOverrideDropped&) = delete;

private:
    uint32_t saved_[2]{};
    bool dropped_ = false;
};

} // namespace testsupport

#include "platform/usb/transport_error.h"

#include <mutex>
#include <utility>

namespace platform::usb {

namespace {

std::mutex errorMutex;
std::string lastError;

} // namespace

std::string LastTransportError() {
    std::lock_guard lock(errorMutex);
    return lastError;
}

void SetTransportError(std::string sentence) {
    std::lock_guard lock(errorMutex);
    lastError = std::move(sentence);
}

} // namespace platform::usb

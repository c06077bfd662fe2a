#include "platform/system/message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex sinkMutex;
MessageBoxSink& Sink() {
    static MessageBoxSink sink;
    return sink;
}

} // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon) {
    std::lock_guard lock(sinkMutex);
    if (Sink()) {
        Sink()(text, caption, icon);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void SetMessageBoxSink(MessageBoxSink sink) {
    std::lock_guard lock(sinkMutex);
    Sink() = std::move(sink);
}

} // namespace platform

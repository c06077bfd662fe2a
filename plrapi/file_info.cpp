// The library's own file record: its getters report the current record.
#include "plrapi.h"
#include "plrapi/process_state.h"
#include "plrapi/record_fields.h"

#include <cstdint>

using plrapi::Process;

namespace {

char emptyText[1] = "";

} // namespace

CPDFileInfo::CPDFileInfo() = default;
CPDFileInfo::CPDFileInfo(const CPDFileInfo& /*other*/) {}
CPDFileInfo& CPDFileInfo::operator=(const CPDFileInfo& /*other*/) { return *this; }
CPDFileInfo::~CPDFileInfo() = default;

char* CPDFileInfo::GetFileName() {
    auto* state = Process().state;
    return state != nullptr ? state->current.longName : emptyText;
}

char* CPDFileInfo::GetFileExt() {
    auto* state = Process().state;
    return state != nullptr ? plrapi::ExtensionOf(state->current) : emptyText;
}

unsigned long CPDFileInfo::GetAttribMark() {
    const auto* state = Process().state;
    if (state == nullptr) {
        return 0;
    }
    // The attribute byte as a signed char widened to 32 bits.
    const auto widened = static_cast<int32_t>(static_cast<int8_t>(state->current.attribute));
    return static_cast<uint32_t>(widened);
}

unsigned long CPDFileInfo::GetFileSize() {
    const auto* state = Process().state;
    return state != nullptr ? state->current.size : 0;
}

#include "tools/qrm284/json_output.h"

#include <cstdio>

namespace qrm284 {

void Emit(bool json, const nlohmann::json& object, const std::string& text) {
    if (json) {
        // Player names need not be UTF-8: replace what is not, rather than throw.
        const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        std::printf("%s\n", line.c_str());
    } else {
        std::printf("%s\n", text.c_str());
    }
}

void EmitResult(bool json, const char* command, int status) {
    if (json) {
        Emit(true, {{"event", "result"}, {"command", command}, {"status", status}}, {});
    }
    std::fflush(stdout);
}

} // namespace qrm284

// --json: one JSON object per line on stdout, for scripts.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace qrm284 {

// Prints `object` as one line when `json`, else the person's `text` line.
void Emit(bool json, const nlohmann::json& object, const std::string& text);

// The last line of a command under --json: its name and exit status.
void EmitResult(bool json, const char* command, int status);

} // namespace qrm284

// Message boxes of the libraries: there is no window to own them, so the
// text goes to stderr. Tests can catch them instead.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageBoxIcon { Information, Warning, Error, Question };

void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon);

using MessageBoxSink = std::function<void(const std::string& text, const std::string& caption, MessageBoxIcon)>;
// Replaces stderr as the destination; an empty sink restores it.
void SetMessageBoxSink(MessageBoxSink sink);

} // namespace platform

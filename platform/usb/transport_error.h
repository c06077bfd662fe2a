// Why the backend last failed to reach a player, in a sentence for a person.
// The libraries above report result codes only; a program that has to say
// why no player answered asks here.
#pragma once

#include <string>

namespace platform::usb {

// The sentence, ending in a full stop; empty when the last attempt succeeded
// or the backend has nothing more to say than that no player answered.
std::string LastTransportError();

// Backends: what went wrong ("Cannot reach the USB/IP server ..."), or empty
// once a player is reached again.
void SetTransportError(std::string sentence);

} // namespace platform::usb

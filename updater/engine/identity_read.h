// Asking the player who it is: the identification command on a link of its
// own, apart from the engine link.
#pragma once

#include "updater/engine/outcome.h"
#include "wire/identification.h"

namespace updater {

// Opens a link, sends "Y", reads the reply and closes the link. Done with
// `identification` parsed from the reply (which may be unrecognised);
// LinkFailed, SendFailed or NoReply when the exchange did not take place.
Outcome ReadIdentification(wire::Identification& identification);

} // namespace updater

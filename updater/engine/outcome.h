// What an engine step ended with. The front ends turn it into their own
// words; the engine has none.
#pragma once

namespace updater {

enum class Outcome {
    Done,          // the step did what it is for
    LinkFailed,    // no link to the player could be opened
    SendFailed,    // a command or data write did not reach the player
    NoReply,       // a reply did not come (failed read or time-out)
    Refused,       // the player answered, but not with the acceptance the step needs
    Unfinished,    // the player never sent its OK reply within the replies the step waits through
    NoFile,        // the image or font file cannot be opened; nothing sent
    BadFile,       // the image or font file is empty, too large or unreadable
    Abandoned,     // the caller gave up waiting
};

} // namespace updater

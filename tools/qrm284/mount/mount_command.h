// qrm284 mount: the player's storage as a folder, until fusermount3 -u or an unplug.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace qrm284::mount {

struct MountOptions {
    std::string folder;
    int storage = 0;
    bool foreground = false;
    std::string cacheFolder;   // empty: $XDG_CACHE_HOME/qrm284 (or ~/.cache/qrm284)
    std::chrono::milliseconds listingPeriod{std::chrono::seconds(10)};
};

// Mounts, serves until unmounted, unmounts. The exit status: 0 after an
// unmount, ExitNoPlayer (one sentence printed) when the player was not there
// or went away. `mounted` runs once the folder shows the player.
int RunMount(const MountOptions& options, const std::function<void()>& mounted = {});

} // namespace qrm284::mount

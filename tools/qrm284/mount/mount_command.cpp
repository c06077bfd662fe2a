#include "tools/qrm284/mount/mount_command.h"

#include "tools/qrm284/commands.h"
#include "tools/qrm284/mount/device_thread.h"
#include "tools/qrm284/mount/mount_filesystem.h"
#include "tools/qrm284/mount/player_operations.h"
#include "tools/qrm284/terminal_text.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qrm284::mount {

namespace {

std::string CacheBase(const MountOptions& options) {
    if (!options.cacheFolder.empty()) {
        return options.cacheFolder;
    }
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') {
        return std::string(xdg) + "/qrm284";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.cache/qrm284";
}

// Leaves the terminal: the parent waits until the child has mounted (or
// failed) and exits with the child's status, so that a script sees one.
// Returns -1 in the child, the status in the parent.
int Daemonize(int& readyFd) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return Fail("Cannot start the mount in the background.");
    }
    const pid_t child = fork();
    if (child < 0) {
        return Fail("Cannot start the mount in the background.");
    }
    if (child > 0) {
        close(pipeFds[1]);
        unsigned char status = ExitFailure;
        if (read(pipeFds[0], &status, 1) != 1) {
            int childStatus = 0;
            waitpid(child, &childStatus, 0);
            status = WIFEXITED(childStatus) ? static_cast<unsigned char>(WEXITSTATUS(childStatus)) : ExitFailure;
        }
        close(pipeFds[0]);
        return status;
    }
    close(pipeFds[0]);
    setsid();
    readyFd = pipeFds[1];
    return -1;
}

void Report(int& readyFd, int status) {
    if (readyFd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(status);
        (void)!write(readyFd, &byte, 1);
        close(readyFd);
        readyFd = -1;
    }
}

// The daemon's log: failures nobody's close() can be told of.
void LogToFile(const std::string& cacheBase) {
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int log = open((cacheBase + "/mount.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(log >= 0 ? log : devNull, STDERR_FILENO);
        close(devNull);
    }
    if (log >= 0) {
        close(log);
    }
}

struct SessionEnd {
    std::once_flag unmounted;
    fuse_session* session = nullptr;
    void Unmount() {
        std::call_once(unmounted, [this] { fuse_session_unmount(session); });
    }
};

int Serve(const MountOptions& options, const std::string& cacheBase, int& readyFd,
          const std::function<void()>& mounted) {
    std::error_code ignored;
    std::vector<char> pattern;
    const std::string templateText = cacheBase + "/mount-XXXXXX";
    pattern.assign(templateText.begin(), templateText.end());
    pattern.push_back('\0');
    if (mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "qrm284: Cannot make the cache folder in \"%s\".\n", Printable(cacheBase).c_str());
        return ExitFailure;
    }
    const std::string cacheFolder(pattern.data());
    struct CacheCleanup {
        std::string folder;
        ~CacheCleanup() {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        }
    } cleanup{cacheFolder};

    PlayerOperations player(options.storage);
    SessionEnd end;
    std::atomic<bool> gone = false;
    std::atomic<bool> serving = false;
    DeviceThread thread([&] { return player.Present(); },
                        [&] {
                            gone = true;
                            if (serving) {
                                fuse_session_exit(end.session);
                                end.Unmount();
                            }
                        });
    player.SetThread(&thread);
    int openStatus = 0;
    thread.Run([&] {
        openStatus = player.Open();
        return 0;
    });
    if (openStatus != 0) {
        return openStatus;
    }
    MountFilesystem filesystem(player, thread, cacheFolder, options.listingPeriod);
    std::vector<std::string> arguments = {"qrm284", "-o", "fsname=qrm284,subtype=qrm284,auto_unmount,noatime"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
    end.session = fuse_session_new(&args, &MountFilesystem::Operations(), sizeof(fuse_lowlevel_ops), &filesystem);
    fuse_opt_free_args(&args);
    if (end.session == nullptr) {
        return Fail("The FUSE session could not be set up.");
    }
    if (fuse_set_signal_handlers(end.session) != 0 || fuse_session_mount(end.session, options.folder.c_str()) != 0) {
        fuse_remove_signal_handlers(end.session);
        fuse_session_destroy(end.session);
        std::fprintf(stderr, "qrm284: Cannot mount the player on \"%s\" (is /dev/fuse there, and fusermount3?).\n",
                     Printable(options.folder).c_str());
        return ExitFailure;
    }
    serving = true;
    Report(readyFd, 0);
    if (!options.foreground) {
        LogToFile(cacheBase);
    }
    if (mounted) {
        mounted();
    }
    fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_clone_fd(config, 0);
    fuse_loop_cfg_set_idle_threads(config, 10);
    if (!gone) {
        fuse_session_loop_mt(end.session, config);
    }
    fuse_loop_cfg_destroy(config);
    serving = false;
    end.Unmount();
    fuse_remove_signal_handlers(end.session);
    fuse_session_destroy(end.session);
    if (gone || thread.Gone()) {
        std::fprintf(stderr, "qrm284: The player was disconnected; \"%s\" is no longer mounted.\n",
                     Printable(options.folder).c_str());
        return ExitNoPlayer;
    }
    return 0;
}

} // namespace

int RunMount(const MountOptions& options, const std::function<void()>& mounted) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.folder, error)) {
        std::fprintf(stderr, "qrm284: \"%s\" is not a folder to mount on.\n", Printable(options.folder).c_str());
        return ExitUsage;
    }
    const std::string cacheBase = CacheBase(options);
    std::filesystem::create_directories(cacheBase, error);
    if (!std::filesystem::is_directory(cacheBase, error)) {
        std::fprintf(stderr, "qrm284: Cannot make the cache folder \"%s\".\n", Printable(cacheBase).c_str());
        return ExitFailure;
    }
    int readyFd = -1;
    if (!options.foreground) {
        if (int status = Daemonize(readyFd); status >= 0) {
            return status;
        }
    }
    const int status = Serve(options, cacheBase, readyFd, mounted);
    Report(readyFd, status);
    return status;
}

} // namespace qrm284::mount

namespace qrm284 {

void AddMountCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<mount::MountOptions>();
    auto periodSeconds = std::make_shared<double>(10);
    CLI::App* command = app.add_subcommand("mount", "Show the player's storage as a folder, for file managers, cp and rsync.\n"
                                                    "Unmount with: fusermount3 -u DIR");
    command->add_option("folder", options->folder, "Empty folder to mount on")->required();
    command->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    command->add_flag("--foreground", options->foreground, "Stay in the foreground; failures go to stderr");
    command->add_option("--cache-dir", options->cacheFolder,
                        "Folder for files being written and read (default $XDG_CACHE_HOME/qrm284)");
    command->add_option("--listing-period", *periodSeconds,
                        "Seconds a folder's listing is served without asking the player again (default 10)")
        ->check(CLI::Range(0.0, 3600.0));
    command->callback([options, periodSeconds, &exitStatus] {
        options->listingPeriod = std::chrono::milliseconds(static_cast<long long>(*periodSeconds * 1000));
        exitStatus = mount::RunMount(*options);
    });
}

} // namespace qrm284

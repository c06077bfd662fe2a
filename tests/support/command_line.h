// Running qrm284's commands in this process, as its main does, in a scratch
// folder of their own.
#pragma once

#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace testsupport {

// What becomes of an error CLI11 throws out of parse().
enum class ParseErrors {
    AsUsage,                  // every one gives qrm284::ExitUsage
    RuntimeErrorsKeepTheirCode,   // a CLI::RuntimeError gives its own exit code, the rest ExitUsage
    Thrown,                   // left to fail the test
};

// Runs one command line ("put a.mp3 --to /Music") on the commands `add(app,
// status)` puts on a fresh CLI::App; returns the exit status. Standard output
// goes to `out`; standard error to `*err`, or stays uncaptured when null
// (gtest captures only one at a time).
template <class Add>
int RunCommandLine(const std::string& commandLine, Add add, std::string& out, std::string* err = nullptr,
                   ParseErrors errors = ParseErrors::AsUsage) {
    CLI::App app;
    int status = -1;
    add(app, status);
    testing::internal::CaptureStdout();
    if (err != nullptr) {
        testing::internal::CaptureStderr();
    }
    if (errors == ParseErrors::Thrown) {
        app.parse(commandLine);
    } else {
        try {
            app.parse(commandLine);
        } catch (const CLI::RuntimeError& error) {
            status = errors == ParseErrors::RuntimeErrorsKeepTheirCode ? error.get_exit_code() : qrm284::ExitUsage;
        } catch (const CLI::ParseError&) {
            status = qrm284::ExitUsage;
        }
    }
    out = testing::internal::GetCapturedStdout();
    if (err != nullptr) {
        *err = testing::internal::GetCapturedStderr();
    }
    return status;
}

inline std::string CurrentTestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// An empty folder TempDir()/`name` made the current one; on destruction the
// current folder goes back to the temporary one and the folder is removed.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) : path_(std::filesystem::path(::testing::TempDir()) / name) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Commands that would ask a person at a terminal find none.
inline void StdinFromNowhere() { ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); }

} // namespace testsupport

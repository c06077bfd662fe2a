// A file of this computer as the device API asks about it.
#pragma once

#include "plrapi.h"

#include <string>

namespace qrm284 {

class PcFileInfo : public CPDFileInfo {
public:
    PcFileInfo(std::string name, std::string extension, unsigned long size)
        : name_(std::move(name)), extension_(std::move(extension)), size_(size) {}

    char* GetFileName() override { return name_.data(); }
    char* GetFileExt() override { return extension_.data(); }
    unsigned long GetAttribMark() override { return 0x20; }   // archive: an ordinary file
    unsigned long GetFileSize() override { return size_; }

private:
    std::string name_;
    std::string extension_;
    unsigned long size_;
};

// "dir/Song One.mp3" -> {"Song One", "mp3"}.
void SplitName(const std::string& path, std::string& name, std::string& extension);

} // namespace qrm284

#include "tools/qrm284/firmware_text.h"

#include <algorithm>
#include <cctype>

namespace qrm284 {

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "1.4310": the major part, then two digits each for the minor part and the build.
std::string Dotted(const std::string& version) {
    const size_t dot = version.find('.');
    if (dot == std::string::npos) {
        return version;
    }
    const std::string major = version.substr(0, dot);
    const std::string rest = version.substr(dot + 1);
    if (!AllDigits(major) || !AllDigits(rest) || rest.size() != 4) {
        return version;
    }
    return major + "." + rest.substr(0, 2) + "." + rest.substr(2);
}

} // namespace

FirmwareText SplitFirmwareText(const std::string& identity) {
    const size_t space = identity.find(' ');
    if (space == std::string::npos) {
        return {identity, {}};
    }
    return {identity.substr(0, space), Dotted(identity.substr(space + 1))};
}

} // namespace qrm284

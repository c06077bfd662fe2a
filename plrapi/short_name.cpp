#include "plrapi/short_name.h"

#include "platform/text/code_page.h"
#include "plrapi/ascii_text.h"
#include "plrapi/storable_name.h"

#include <cstring>

namespace plrapi {

namespace {

constexpr size_t MaxBase = 8;
constexpr size_t MaxExtension = 3;
constexpr size_t CutBase = 6;
// Besides what the file system cannot store at all.
constexpr char Replaced[] = "+,;=[]";

// The first `limit` bytes of `text` through the code page and back, so a
// character cut in half comes out as the conversion makes it; cut further at
// a character boundary if the conversion made it longer.
std::string RoundTrip(std::string_view text, size_t limit) {
    const std::string_view cut = text.substr(0, limit);
    if (IsAscii(cut)) {
        return std::string(cut);
    }
    const std::u16string wide = platform::MultiByteToWide(cut.data(), cut.size());
    for (size_t characters = wide.size(); characters > 0; --characters) {
        std::string back = platform::WideToMultiByte(wide.data(), characters);
        if (back.size() <= limit) {
            return back;
        }
    }
    return {};
}

// Upper-cases the letters of the basic Latin alphabet; the bytes of a
// double-byte character stay as they are.
void UpperCase(std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (platform::IsDBCSLeadByte(byte)) {
            ++i;
        } else if (byte >= 'a' && byte <= 'z') {
            text[i] = static_cast<char>(byte - 'a' + 'A');
        }
    }
}

} // namespace

std::optional<ShortName> MakeShortName(std::string_view longName) {
    if (longName.size() > MaxShortNameSource) {
        return std::nullopt;
    }
    // '.' is never the second byte of a double-byte character.
    const size_t lastDot = longName.rfind('.');
    std::string cleaned;
    bool lossy = false;
    for (size_t i = 0; i < longName.size(); ++i) {
        const char c = longName[i];
        if (platform::IsDBCSLeadByte(static_cast<uint8_t>(c)) && i + 1 < longName.size()) {
            cleaned += longName.substr(i, 2);
            ++i;
        } else if (IsUnstorableByte(static_cast<uint8_t>(c)) || (c != '\0' && std::strchr(Replaced, c) != nullptr)) {
            cleaned += '_';
            lossy = true;
        } else if (c == ' ' || (c == '.' && i != lastDot)) {
            lossy = true;
        } else {
            cleaned += c;
        }
    }
    const size_t dot = cleaned.rfind('.');
    const std::string_view whole(cleaned);
    const std::string_view base = whole.substr(0, dot);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : whole.substr(dot + 1);

    ShortName result;
    if (lossy || base.size() > MaxBase || extension.size() > MaxExtension) {
        result.text = RoundTrip(base, CutBase) + "~1";
        if (!extension.empty()) {
            result.text += "." + RoundTrip(extension, MaxExtension);
        }
        result.shortened = true;
    } else {
        result.text = cleaned;
    }
    UpperCase(result.text);
    return result;
}

bool BumpShortNameTail(int n, std::string& base) {
    size_t tilde = base.rfind('~');
    if (tilde == std::string::npos) {
        return false;
    }
    const std::string next = std::to_string(n + 1);
    if (next.size() > std::to_string(n).size()) {
        if (tilde == 0) {
            return false;
        }
        --tilde;
    }
    base.resize(tilde);
    base += '~';
    base += next;
    return true;
}

} // namespace plrapi

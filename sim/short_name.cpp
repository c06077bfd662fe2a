#include "sim/short_name.h"

#include <algorithm>
#include <string_view>

namespace kvx512sim {

namespace {

bool IsShortNameCharacter(char16_t c) {
    constexpr std::u16string_view Specials = u"$%'-_@~`!(){}^#&";
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || Specials.find(c) != std::u16string_view::npos;
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// The valid upper-cased characters of `part`; `lossy` is set when any was dropped.
std::string Filter(std::u16string_view part, bool& lossy) {
    std::string kept;
    for (char16_t c : part) {
        const char16_t u = Upper(c);
        if (IsShortNameCharacter(u)) {
            kept.push_back(static_cast<char>(u));
        } else {
            lossy = true;
        }
    }
    return kept;
}

ShortName Compose(const std::string& base, const std::string& extension) {
    ShortName name;
    name.fill(' ');
    std::copy_n(base.begin(), std::min<size_t>(base.size(), 8), name.begin());
    std::copy_n(extension.begin(), std::min<size_t>(extension.size(), 3), name.begin() + 8);
    if (name[0] == DeletedMark) {
        name[0] = StandInForDeletedMark;
    }
    return name;
}

} // namespace

ShortNameChoice ChooseShortName(const std::u16string& name, const std::function<bool(const ShortName&)>& taken) {
    const size_t dot = name.rfind(u'.');
    const bool hasExtension = dot != std::u16string::npos && dot > 0;
    std::u16string_view whole(name);
    const auto baseSource = hasExtension ? whole.substr(0, dot) : whole;
    const auto extensionSource = hasExtension ? whole.substr(dot + 1) : std::u16string_view{};

    bool lossy = false;
    const std::string base = Filter(baseSource, lossy);
    const std::string extension = Filter(extensionSource, lossy);
    const bool fits = !lossy && !base.empty() && base.size() <= 8 && extension.size() <= 3;

    ShortNameChoice choice;
    if (fits) {
        choice.name = Compose(base, extension);
        choice.needsLongName = std::any_of(name.begin(), name.end(), [](char16_t c) { return c != Upper(c); });
        if (!taken(choice.name)) {
            return choice;
        }
    }
    choice.needsLongName = true;
    const std::string stem = base.empty() ? std::string("FILE") : base;
    for (unsigned n = 1; n < 1000000; ++n) {
        const std::string tail = "~" + std::to_string(n);
        const std::string numbered = stem.substr(0, 8 - tail.size()) + tail;
        choice.name = Compose(numbered, extension);
        if (!taken(choice.name)) {
            break;
        }
    }
    return choice;
}

} // namespace kvx512sim

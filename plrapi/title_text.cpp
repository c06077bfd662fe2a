#include "plrapi/title_text.h"

#include "plrapi/asf_title.h"
#include "plrapi/id3v1_tag.h"

#include <optional>

namespace plrapi {

namespace {

constexpr size_t LongestWhole = 250;
constexpr size_t CutPair = 119;
constexpr size_t CutAlone = 249;
constexpr char Spaces[] = "   ";

// The upper-cased text after the last dot; empty without a dot.
std::string UpperExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return extension;
}

std::optional<std::string> Mp3Title(const TitleSources& sources) {
    auto tag = ReadId3v1(sources.head);
    if (!tag) {
        tag = ReadId3v1(sources.tail);
    }
    if (!tag || tag->title[0] == '\0') {
        return std::nullopt;
    }
    if (tag->artist[0] != '\0') {
        return std::string(tag->title) + "[" + tag->artist + "]";
    }
    return std::string(tag->title);
}

std::optional<std::string> WmaTitle(const TitleSources& sources) {
    const auto asf = ReadAsfTitle(sources.capture, sources.captureSize);
    if (!asf || asf->title.empty()) {
        return std::nullopt;
    }
    const std::string& title = asf->title;
    const std::string& author = asf->author;
    if (!author.empty()) {
        if (title.size() <= LongestWhole && author.size() <= LongestWhole) {
            return title + "[" + author + "]" + Spaces;
        }
        const auto cut = [](const std::string& text) {
            return text.size() > LongestWhole ? text.substr(0, CutPair) : text;
        };
        return cut(title) + "[" + cut(author) + "]";
    }
    return title.size() <= LongestWhole ? title + Spaces : title.substr(0, CutAlone);
}

} // namespace

std::string ChooseTitleText(const TitleSources& sources) {
    const std::string extension = UpperExtension(sources.longName);
    std::optional<std::string> found;
    if (extension == "MP3") {
        found = Mp3Title(sources);
    } else if (extension == "WMA") {
        found = WmaTitle(sources);
    }
    return found ? *found : std::string(sources.longName);
}

} // namespace plrapi

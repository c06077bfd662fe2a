#include "platform/text/code_page.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <mutex>
#include <string_view>

namespace platform {

namespace {

std::mutex codePageMutex;

std::string& Override() {
    static std::string name = [] {
        const char* value = std::getenv("KVX512_CODEPAGE");
        return std::string(value != nullptr ? value : "");
    }();
    return name;
}

std::string LocaleCodeSet() {
    // The program's locale if it set one, otherwise the environment's.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    if (current != nullptr && std::strcmp(current, "C") != 0) {
        return nl_langinfo(CODESET);
    }
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return "UTF-8";
    }
    std::string codeSet = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    // Plain ASCII locales still get their names through intact.
    return codeSet == "ANSI_X3.4-1968" ? "UTF-8" : codeSet;
}

bool IsUtf8(std::string_view name) {
    return name == "UTF-8" || name == "utf-8" || name == "UTF8" || name == "utf8";
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from) : handle_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts what it can; on a bad sequence puts `replacement` and steps over
    // `skip` input bytes.
    std::string Run(const char* input, size_t length, std::string_view replacement, size_t skip) {
        std::string output;
        char buffer[1024];
        char* in = const_cast<char*>(input);
        size_t inLeft = length;
        while (inLeft > 0) {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<size_t>(out - buffer));
            if (result == static_cast<size_t>(-1) && errno != E2BIG) {
                output.append(replacement);
                const size_t step = std::min(skip, inLeft);
                in += step;
                inLeft -= step;
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return output;
    }

private:
    iconv_t handle_;
};

} // namespace

std::string CurrentCodePage() {
    std::lock_guard lock(codePageMutex);
    return Override().empty() ? LocaleCodeSet() : Override();
}

void SetCodePage(const std::string& name) {
    std::lock_guard lock(codePageMutex);
    Override() = name;
}

std::u16string MultiByteToWide(const char* text, size_t length) {
    Converter converter("UTF-16LE", CurrentCodePage());
    if (!converter.Valid() || length == 0) {
        return {};
    }
    const std::string bytes = converter.Run(text, length, std::string_view("\xFD\xFF", 2), 1);
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                        (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    return wide;
}

std::string WideToMultiByte(const char16_t* text, size_t length) {
    Converter converter(CurrentCodePage(), "UTF-16LE");
    if (!converter.Valid() || length == 0) {
        return {};
    }
    std::string bytes(length * 2, '\0');
    for (size_t i = 0; i < length; ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return converter.Run(bytes.data(), bytes.size(), "?", 2);
}

bool IsDBCSLeadByte(uint8_t byte) {
    if (byte < 0x80) {
        return false;
    }
    const std::string codePage = CurrentCodePage();
    if (IsUtf8(codePage)) {
        return false;   // not a double-byte code page
    }
    // A lead byte alone is an incomplete character.
    iconv_t handle = iconv_open("UTF-16LE", codePage.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char input = static_cast<char>(byte);
    char* in = &input;
    size_t inLeft = 1;
    char output[8];
    char* out = output;
    size_t outLeft = sizeof output;
    const size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
    const bool incomplete = result == static_cast<size_t>(-1) && errno == EINVAL;
    iconv_close(handle);
    return incomplete;
}

} // namespace platform

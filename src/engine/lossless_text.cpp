#include "engine/lossless_text.h"

#include <algorithm>
#include <type_traits>

#include "engine/case_fold.h"

namespace tarnwick {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;
constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Writes the code point at out; gives the end of what it wrote.
char16_t* AppendUtf16(char16_t* out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        *out++ = static_cast<char16_t>(codePoint);
        return out;
    }
    const char32_t offset = codePoint - 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
    *out++ = static_cast<char16_t>(kEscapeBase + (offset & 0x3FF));
    return out;
}

// The end of the run of ASCII characters that starts at from.
template <typename Char>
std::size_t AsciiRunEnd(std::basic_string_view<Char> text, std::size_t from) {
    while (from < text.size() && static_cast<std::make_unsigned_t<Char>>(text[from]) < 0x80) ++from;
    return from;
}

}  // namespace

std::u16string DecodeLossless(std::string_view bytes) {
    // Never more UTF-16 units than bytes.
    std::u16string text(bytes.size(), u'\0');
    char16_t* out = text.data();
    for (std::size_t offset = 0; offset < bytes.size();) {
        const std::size_t asciiEnd = AsciiRunEnd(bytes, offset);
        out = std::copy(bytes.begin() + offset, bytes.begin() + asciiEnd, out);
        offset = asciiEnd;
        if (offset == bytes.size()) break;
        const Utf8Char character = DecodeUtf8(bytes.substr(offset));
        if (character.valid) {
            out = AppendUtf16(out, character.codePoint);
            offset += character.length;
        } else {
            *out++ = static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[offset]));
            ++offset;
        }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

std::string EncodeLossless(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t asciiEnd = AsciiRunEnd(text, i);
        const std::size_t end = bytes.size();
        bytes.resize(end + (asciiEnd - i));
        std::copy(text.begin() + i, text.begin() + asciiEnd, bytes.begin() + end);
        i = asciiEnd;
        if (i == text.size()) break;
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t codePoint =
                0x10000 + ((unit - 0xD800) << 10) + (text[++i] - kEscapeBase);
            bytes.append(EncodeUtf8(codePoint));
        } else if (unit >= kFirstEscape && unit <= kLastEscape) {
            bytes.push_back(static_cast<char>(unit - kEscapeBase));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            bytes.append(EncodeUtf8(kReplacementCharacter));
        } else {
            bytes.append(EncodeUtf8(unit));
        }
    }
    return bytes;
}

}  // namespace tarnwick

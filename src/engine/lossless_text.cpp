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
            out = WriteUtf16(out, character.codePoint);
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
            bytes.append(EncodeUtf8(CodePointOfSurrogates(unit, text[++i])));
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

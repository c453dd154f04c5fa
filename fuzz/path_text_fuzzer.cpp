// The crossing of paths between the system and the lists: every byte string
// survives bytes -> text -> bytes, the text is what a plain reading of the
// UTF-8 rules gives, and text -> bytes -> text keeps every text that came
// from bytes and every text that is valid UTF-16.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/file_system.h"

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// The well-formed UTF-8 sequences, by the allowed range of each byte after
// the first; anything else is one byte carried as U+DC80..U+DCFF.
std::u16string ReferenceText(std::string_view bytes) {
    std::u16string text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        std::size_t length = 1;
        char32_t codePoint = lead;
        if (InRange(lead, 0xC2, 0xDF)) {
            length = 2, codePoint = lead & 0x1F;
        } else if (InRange(lead, 0xE0, 0xEF)) {
            length = 3, codePoint = lead & 0x0F;
            if (lead == 0xE0) secondLow = 0xA0;
            if (lead == 0xED) secondHigh = 0x9F;
        } else if (InRange(lead, 0xF0, 0xF4)) {
            length = 4, codePoint = lead & 0x07;
            if (lead == 0xF0) secondLow = 0x90;
            if (lead == 0xF4) secondHigh = 0x8F;
        } else if (lead >= 0x80) {
            length = 0;
        }
        bool wellFormed = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            wellFormed = k == 1 ? InRange(next, secondLow, secondHigh) : InRange(next, 0x80, 0xBF);
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (!wellFormed) {
            text += static_cast<char16_t>(0xDC00 + lead);
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(codePoint);
        }
        i += length;
    }
    return text;
}

bool IsValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = tarnwick::PathToText(bytes);
    if (text != ReferenceText(bytes)) std::abort();
    if (tarnwick::PathFromText(text) != bytes) std::abort();

    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    const std::string encoded = tarnwick::PathFromText(units);
    const std::u16string decoded = tarnwick::PathToText(encoded);
    if (tarnwick::PathFromText(decoded) != encoded) std::abort();
    if (IsValidUtf16(units) && decoded != units) std::abort();
    return 0;
}

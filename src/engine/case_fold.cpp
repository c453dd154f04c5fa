#include "engine/case_fold.h"

#include <algorithm>
#include <utility>

namespace tarnwick {

namespace {

bool InRange(char32_t c, char32_t first, char32_t last) {
    return c >= first && c <= last;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Blocks where upper case sits on even code points and lower case on the odd
// one after it.
bool InEvenUpperBlock(char32_t c) {
    return InRange(c, 0x100, 0x12F) || InRange(c, 0x132, 0x137) || InRange(c, 0x14A, 0x177) ||
           InRange(c, 0x460, 0x481) || InRange(c, 0x48A, 0x4BF) || InRange(c, 0x4D0, 0x52F) ||
           InRange(c, 0x1E00, 0x1E95) || InRange(c, 0x1EA0, 0x1EFF);
}

bool InOddUpperBlock(char32_t c) {
    return InRange(c, 0x139, 0x148) || InRange(c, 0x179, 0x17E) || InRange(c, 0x4C1, 0x4CE);
}

char32_t LowerOfLatin(char32_t c) {
    if (InRange(c, 'A', 'Z') || (InRange(c, 0xC0, 0xDE) && c != 0xD7)) return c + 32;
    if (c == 0xB5) return 0x3BC;  // micro sign folds with Greek mu
    if (c == 0x178) return 0xFF;
    return c;
}

char32_t LowerOfGreek(char32_t c) {
    if (c == 0x386) return 0x3AC;
    if (InRange(c, 0x388, 0x38A)) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (InRange(c, 0x38E, 0x38F)) return c + 63;
    if (InRange(c, 0x391, 0x3AB) && c != 0x3A2) return c + 32;
    if (c == 0x3C2) return 0x3C3;  // final sigma
    return c;
}

char32_t LowerOfOthers(char32_t c) {
    if (InRange(c, 0x400, 0x40F)) return c + 80;
    if (InRange(c, 0x410, 0x42F)) return c + 32;
    if (c == 0x4C0) return 0x4CF;
    if (InRange(c, 0x531, 0x556)) return c + 48;
    if (InRange(c, 0xFF21, 0xFF3A)) return c + 32;
    return c;
}

// (lower, code point) for every code point the folding above covers, sorted,
// so that the case variants of a letter are one lower_bound away.
std::vector<std::pair<char32_t, char32_t>> BuildFoldClasses() {
    static constexpr std::pair<char32_t, char32_t> kCoveredRanges[] = {
        {0x41, 0x5A},   {0x61, 0x7A},     {0xB5, 0x52F},
        {0x531, 0x586}, {0x1E00, 0x1EFF}, {0xFF21, 0xFF5A},
    };
    std::vector<std::pair<char32_t, char32_t>> classes;
    for (const auto& [first, last] : kCoveredRanges) {
        for (char32_t c = first; c <= last; ++c) classes.emplace_back(SimpleFold(c), c);
    }
    std::sort(classes.begin(), classes.end());
    return classes;
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if (InRange(lead, 0xC2, 0xDF)) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return {lead, 1, false};
    }
    if (text.size() < length) return {lead, 1, false};
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i))) return {lead, 1, false};
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = InRange(codePoint, 0xD800, 0xDFFF);
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return {lead, 1, false};
    return {codePoint, length, true};
}

Utf8Char DecodeFoldedChar(std::string_view text) {
    constexpr char32_t kMalformedBase = 0x110000;
    Utf8Char character = DecodeUtf8(text);
    if (!character.valid) {
        character.codePoint += kMalformedBase;
    } else if (InRange(character.codePoint, 'a', 'z')) {
        character.codePoint -= 32;
    } else if (character.codePoint >= 0x80) {
        character.codePoint = SimpleFold(character.codePoint);
    }
    return character;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t offset = 0; offset < text.size();) {
        if (static_cast<unsigned char>(text[offset]) < 0x80) {
            ++offset;
            continue;
        }
        const Utf8Char character = DecodeUtf8(text.substr(offset));
        if (!character.valid) return false;
        offset += character.length;
    }
    return true;
}

std::size_t CountUtf8Chars(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < text.size(); ++count) {
        const bool ascii = static_cast<unsigned char>(text[offset]) < 0x80;
        offset += ascii ? 1 : DecodeUtf8(text.substr(offset)).length;
    }
    return count;
}

std::string EncodeUtf8(char32_t c) {
    std::string out;
    const auto push = [&](char32_t bits) { out.push_back(static_cast<char>(bits)); };
    if (c < 0x80) {
        push(c);
    } else if (c < 0x800) {
        push(0xC0 | (c >> 6)), push(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        push(0xE0 | (c >> 12)), push(0x80 | ((c >> 6) & 0x3F)), push(0x80 | (c & 0x3F));
    } else {
        push(0xF0 | (c >> 18)), push(0x80 | ((c >> 12) & 0x3F));
        push(0x80 | ((c >> 6) & 0x3F)), push(0x80 | (c & 0x3F));
    }
    return out;
}

char32_t SimpleFold(char32_t c) {
    if (c < 0x370) {
        if (InEvenUpperBlock(c)) return c | 1;
        if (InOddUpperBlock(c)) return (c & 1) ? c + 1 : c;
        return LowerOfLatin(c);
    }
    if (c < 0x400) return LowerOfGreek(c);
    if (InEvenUpperBlock(c)) return c | 1;
    if (InOddUpperBlock(c)) return (c & 1) ? c + 1 : c;
    return LowerOfOthers(c);
}

std::vector<std::string> SameLengthCaseVariants(char32_t codePoint) {
    static const auto kClasses = BuildFoldClasses();
    const std::string own = EncodeUtf8(codePoint);
    std::vector<std::string> variants{own};
    const auto key = std::make_pair(SimpleFold(codePoint), char32_t{0});
    for (auto it = std::lower_bound(kClasses.begin(), kClasses.end(), key);
         it != kClasses.end() && it->first == key.first; ++it) {
        std::string spelling = EncodeUtf8(it->second);
        if (spelling.size() == own.size() && spelling != own)
            variants.push_back(std::move(spelling));
    }
    return variants;
}

}  // namespace tarnwick

#include "engine/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>

#include "engine/case_fold_table.h"

namespace tarnwick {

namespace {

namespace table = case_fold_table;

bool InRange(char32_t c, char32_t first, char32_t last) {
    return c >= first && c <= last;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

std::size_t Utf8Length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The code points other than fold itself that fold to it.
std::span<const table::Folding> FoldingsTo(char32_t fold) {
    const auto [first, last] = std::equal_range(
        table::kFoldings.begin(), table::kFoldings.end(), table::Folding{fold, 0},
        [](const table::Folding& a, const table::Folding& b) { return a.fold < b.fold; });
    return {first, last};
}

// The key under which the letters of one fold and one UTF-8 length are equal.
char32_t SameLengthFold(char32_t c) {
    const char32_t fold = SimpleFold(c);
    const std::size_t length = Utf8Length(c);
    if (Utf8Length(fold) == length) return fold;
    char32_t key = c;
    for (const table::Folding& folding : FoldingsTo(fold)) {
        if (Utf8Length(folding.codePoint) == length) key = std::min(key, folding.codePoint);
    }
    return key;
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
        character.codePoint = SameLengthFold(character.codePoint);
    }
    return character;
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

char32_t SimpleFold(char32_t codePoint) {
    const std::size_t block = codePoint >> table::kBlockBits;
    if (block >= table::kBlockRows.size()) return codePoint;
    const std::size_t row = table::kBlockRows[block];
    const std::size_t column = codePoint & ((char32_t{1} << table::kBlockBits) - 1);
    const std::int32_t delta =
        table::kDeltas[table::kDeltaIndex[(row << table::kBlockBits) | column]];
    return static_cast<char32_t>(static_cast<std::int32_t>(codePoint) + delta);
}

std::vector<std::string> SameLengthCaseVariants(char32_t codePoint) {
    const std::string own = EncodeUtf8(codePoint);
    std::vector<std::string> variants{own};
    const auto addIfSameLength = [&](char32_t letter) {
        std::string spelling = EncodeUtf8(letter);
        if (spelling.size() == own.size() && spelling != own)
            variants.push_back(std::move(spelling));
    };
    const char32_t fold = SimpleFold(codePoint);
    addIfSameLength(fold);
    for (const table::Folding& folding : FoldingsTo(fold)) addIfSameLength(folding.codePoint);
    return variants;
}

}  // namespace tarnwick

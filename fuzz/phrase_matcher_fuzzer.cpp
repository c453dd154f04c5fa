// PhraseMatcher::LacksPhrase in both case modes against a plain search that
// compares character by character: ignoring case, a character of the phrase
// equals a text character of the same UTF-8 length with the same simple fold,
// and a malformed byte equals only itself.
//
// Input: one byte for the phrase length (1 to 40), one byte for the shape of
// the text, the phrase, then the text. Most shapes repeat the text up to a
// size at which the matcher scans a number of positions near a multiple of
// its vector widths (16, 32 and 64 bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "engine/case_fold.h"
#include "engine/phrase_matcher.h"

namespace {

using tarnwick::CaseMode;

constexpr std::size_t kLongestPhrase = 40;

bool SameCharacterAt(std::string_view text, std::string_view phrase) {
    const tarnwick::Utf8Char wanted = tarnwick::DecodeUtf8(phrase);
    if (!wanted.valid) return text[0] == phrase[0];
    const tarnwick::Utf8Char found = tarnwick::DecodeUtf8(text);
    return found.valid && found.length == wanted.length &&
           tarnwick::SimpleFold(found.codePoint) == tarnwick::SimpleFold(wanted.codePoint);
}

bool OccursAtStart(std::string_view text, std::string_view phrase, CaseMode mode) {
    if (mode == CaseMode::Sensitive) return text.substr(0, phrase.size()) == phrase;
    for (std::size_t at = 0; at < phrase.size();
         at += tarnwick::DecodeUtf8(phrase.substr(at)).length) {
        if (!SameCharacterAt(text.substr(at), phrase.substr(at))) return false;
    }
    return true;
}

bool ReferenceLacks(std::string_view text, std::string_view phrase, CaseMode mode) {
    if (phrase.empty()) return false;
    for (std::size_t start = 0; start + phrase.size() <= text.size(); ++start) {
        if (OccursAtStart(text.substr(start), phrase, mode)) return false;
    }
    return true;
}

std::string ShapedText(std::string_view text, std::size_t phraseLength, std::uint8_t shape) {
    if (shape % 4 == 0) return std::string(text);
    const std::size_t width = std::size_t{8} << (shape % 4);
    const std::size_t positions = width * (1 + (shape >> 2) % 4) + (shape >> 4) % 3 - 1;
    const std::size_t size = positions + phraseLength - 1;
    const std::string_view unit = text.empty() ? std::string_view(" ") : text;
    std::string shaped;
    while (shaped.size() < size) shaped += unit;
    shaped.resize(size);
    return shaped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t phraseLength = std::min(1 + data[0] % kLongestPhrase, size - 2);
    const std::string_view phrase = input.substr(2, phraseLength);
    const std::string text = ShapedText(input.substr(2 + phraseLength), phrase.size(), data[1]);
    // An exact-size copy, so that a read past the text's end is caught.
    const auto exact = std::make_unique<char[]>(text.size());
    std::memcpy(exact.get(), text.data(), text.size());
    const std::string_view view(exact.get(), text.size());
    for (const CaseMode mode : {CaseMode::Sensitive, CaseMode::Insensitive}) {
        if (tarnwick::PhraseMatcher(phrase, mode).LacksPhrase(view) !=
            ReferenceLacks(view, phrase, mode)) {
            std::abort();
        }
    }
    return 0;
}

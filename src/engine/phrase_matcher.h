#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_encoding.h"

namespace tarnwick {

enum class CaseMode { Sensitive, Insensitive };

// Finds a phrase in blocks of bytes, both in the given text encoding.
// Case-insensitive matching treats letters that differ only in case as
// equal, ASCII and non-ASCII alike. Build one per search; it is immutable and
// may be shared between threads.
class PhraseMatcher {
public:
    PhraseMatcher(std::string_view phrase, CaseMode mode,
                  const TextEncoding& encoding = TextEncoding::System());

    // True when the phrase occurs nowhere in text. An empty phrase occurs
    // everywhere.
    bool LacksPhrase(std::string_view text) const;

    // Length of the phrase in bytes: an occurrence in a text spans exactly
    // this many bytes.
    std::size_t Length() const;

private:
    // A phrase byte position whose possible text bytes are few enough to be
    // tested for with vector compares. With a non-zero orMask every byte b for
    // which (b | orMask) == value is accepted (one compare covers both cases).
    struct Anchor {
        std::size_t offset = 0;
        std::uint8_t orMask = 0;
        std::uint8_t value = 0;
        std::array<std::uint8_t, 4> bytes{};
        bool oneTerm = true;
    };

    // A multi-byte character whose case variants cannot be checked byte by
    // byte: the text must hold one of the spellings at offset.
    struct Spellings {
        std::size_t offset = 0;
        std::size_t length = 0;
        std::vector<std::string> variants;
    };

    using Finder = bool (*)(const PhraseMatcher&, const unsigned char*, std::size_t);

    void Compile(const TextEncoding& encoding);
    void FoldLetters(std::vector<std::vector<std::uint8_t>>& bytesAt);
    void FoldSingleByteLetters(const TextEncoding& encoding,
                               std::vector<std::vector<std::uint8_t>>& bytesAt);
    void FoldLetter(std::size_t offset, std::size_t length,
                    const std::vector<std::string>& variants,
                    std::vector<std::vector<std::uint8_t>>& bytesAt);
    void ChooseAnchors(const std::vector<std::vector<std::uint8_t>>& bytesAt);
    bool MatchesAt(const unsigned char* start) const;

    friend struct MatcherKernels;

    std::string m_phrase;
    CaseMode m_mode;
    bool m_exact = true;
    std::vector<std::uint8_t> m_orMask;
    std::vector<std::uint8_t> m_value;
    std::vector<Spellings> m_spellings;
    Anchor m_first;
    Anchor m_second;
    Finder m_finder = nullptr;
};

}  // namespace tarnwick

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_encoding.h"

namespace tarnwick {

// Finds a phrase, given in UTF-8, in blocks of bytes. A block holds the
// phrase when it holds its UTF-8 or, with a code page for an encoding, its
// bytes in that code page (searched only when every character of the phrase
// is there and the bytes differ from the UTF-8). Case-insensitive matching
// treats letters that differ only in case as equal, ASCII and non-ASCII
// alike, by the rules of each form. Build one per search; it is immutable and
// may be shared between threads.
class PhraseMatcher {
public:
    PhraseMatcher(std::string_view phrase, CaseMode mode,
                  const TextEncoding& encoding = TextEncoding::System());

    // True when the phrase occurs nowhere in text. An empty phrase occurs
    // everywhere.
    bool LacksPhrase(std::string_view text) const;

    // Length of the phrase's longest form in bytes: an occurrence in a text
    // spans at most this many bytes.
    std::size_t Length() const;

private:
    // A character of the phrase in a form: the bytes at offset may be any of
    // its spellings, all as long as the first.
    struct Letter {
        std::size_t offset = 0;
        std::vector<std::string> spellings;
    };

    // The phrase in one text encoding, with the filters that find it.
    class Form {
    public:
        Form(std::string bytes, const std::vector<Letter>& letters);
        bool Lacks(std::string_view text) const;
        std::size_t Length() const { return m_phrase.size(); }

    private:
        // A phrase byte position whose possible text bytes are few enough to
        // be tested for with vector compares. With a non-zero orMask every
        // byte b for which (b | orMask) == value is accepted (one compare
        // covers both cases).
        struct Anchor {
            std::size_t offset = 0;
            std::uint8_t orMask = 0;
            std::uint8_t value = 0;
            std::array<std::uint8_t, 4> bytes{};
            bool oneTerm = true;
        };

        // A multi-byte character whose case variants cannot be checked byte
        // by byte: the text must hold one of the spellings at offset.
        struct Spellings {
            std::size_t offset = 0;
            std::size_t length = 0;
            std::vector<std::string> variants;
        };

        using Finder = bool (*)(const Form&, const unsigned char*, std::size_t);

        void FoldLetter(const Letter& letter, std::vector<std::vector<std::uint8_t>>& bytesAt);
        void ChooseAnchors(const std::vector<std::vector<std::uint8_t>>& bytesAt);
        bool MatchesAt(const unsigned char* start) const;

        friend struct MatcherKernels;

        std::string m_phrase;
        bool m_exact = true;
        std::vector<std::uint8_t> m_orMask;
        std::vector<std::uint8_t> m_value;
        std::vector<Spellings> m_spellings;
        Anchor m_first;
        Anchor m_second;
        Finder m_finder = nullptr;
    };

    static Form Utf8Form(std::string_view phrase, CaseMode mode);
    static std::optional<Form> CodePageForm(std::string_view phrase, CaseMode mode,
                                            const TextEncoding& encoding);

    friend struct MatcherKernels;

    Form m_utf8;
    std::optional<Form> m_codePage;
};

}  // namespace tarnwick

#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/file_system.h"

namespace tarnwick {

enum class CaseMode { Sensitive, Insensitive };

// How the bytes of a file's text stand for characters: UTF-8, or a code page
// of one- and two-byte sequences. Immutable once built; may be shared
// between threads.
class TextEncoding {
public:
    static TextEncoding Utf8();
    // The code page of the given characters; a byte sequence that none of
    // them has stands for no character.
    static TextEncoding CodePage(std::span<const CodePageCharacter> characters);
    // The system's: its ANSI code page on Windows unless that is UTF-8,
    // otherwise UTF-8. Built once, at the first call.
    static const TextEncoding& System();

    bool IsCodePage() const { return !m_spellings.empty(); }

    // Of a code page: the UTF-8 text in it; nothing when the text is not valid
    // UTF-8 or a character of it has no bytes here.
    std::optional<std::string> Encode(std::string_view utf8) const;

    // Of a code page: the byte sequences of the characters equal to character in the
    // given mode (ignoring case: differing from it only in letter case) that
    // have as many bytes as its own, its own first; empty when it has none.
    std::vector<std::string> Spellings(char32_t character, CaseMode mode) const;

    // Of a code page: its bytes as UTF-16; a sequence that stands for no
    // character becomes U+FFFD.
    std::u16string Decode(std::string_view bytes) const;

private:
    struct Spelling {
        char32_t character;
        std::string bytes;
    };

    static constexpr char32_t kNoCharacter = 0xFFFFFFFF;

    // Each character's first byte sequence.
    std::unordered_map<char32_t, std::string> m_spellings;
    // Every byte sequence of the characters of one simple case fold.
    std::unordered_map<char32_t, std::vector<Spelling>> m_byFold;
    std::array<char32_t, 256> m_single{};
    std::array<bool, 256> m_lead{};
    // By lead byte * 256 + trail byte, when the code page has lead bytes.
    std::vector<char32_t> m_double;
    // Every ASCII byte stands for its ASCII character, as in the code pages
    // of Windows.
    bool m_asciiAsIs = false;
};

}  // namespace tarnwick

#pragma once

#include <array>
#include <string>
#include <vector>

namespace tarnwick {

// How the bytes of a phrase and of a file's text stand for characters:
// UTF-8, or a code page of one byte per character.
class TextEncoding {
public:
    static TextEncoding Utf8();
    // The code page whose byte b stands for characters[b].
    static TextEncoding SingleByte(const std::array<char32_t, 256>& characters);
    // The system's: its ANSI code page on Windows when that has one byte per
    // character, otherwise UTF-8.
    static const TextEncoding& System();

    bool IsSingleByte() const { return !m_caseVariants.empty(); }

    // Of a single-byte encoding: the bytes whose characters differ from the
    // character of byte only in letter case, byte itself first.
    const std::vector<std::string>& CaseVariants(unsigned char byte) const {
        return m_caseVariants[byte];
    }

private:
    std::vector<std::vector<std::string>> m_caseVariants;
};

}  // namespace tarnwick

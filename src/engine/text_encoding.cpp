#include "engine/text_encoding.h"

#include <algorithm>

#include "engine/case_fold.h"

namespace tarnwick {

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

}  // namespace

TextEncoding TextEncoding::Utf8() {
    return {};
}

TextEncoding TextEncoding::CodePage(std::span<const CodePageCharacter> characters) {
    TextEncoding encoding;
    encoding.m_single.fill(kNoCharacter);
    for (const auto& [bytes, character] : characters) {
        if (bytes.size() == 2) encoding.m_lead[static_cast<unsigned char>(bytes[0])] = true;
    }
    if (std::find(encoding.m_lead.begin(), encoding.m_lead.end(), true) != encoding.m_lead.end())
        encoding.m_double.assign(256 * 256, kNoCharacter);
    for (const auto& [bytes, character] : characters) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        if (bytes.size() == 1) {
            encoding.m_single[first] = character;
        } else {
            encoding.m_double[first * 256u + static_cast<unsigned char>(bytes[1])] = character;
        }
        encoding.m_spellings.try_emplace(character, bytes);
        encoding.m_byFold[SimpleFold(character)].push_back({character, bytes});
    }
    encoding.m_asciiAsIs = true;
    for (char32_t byte = 0; byte < 0x80; ++byte)
        encoding.m_asciiAsIs = encoding.m_asciiAsIs && encoding.m_single[byte] == byte;
    return encoding;
}

const TextEncoding& TextEncoding::System() {
    static const TextEncoding system = [] {
        const auto codePage = SystemCodePage();
        return codePage ? CodePage(*codePage) : Utf8();
    }();
    return system;
}

std::optional<std::string> TextEncoding::Encode(std::string_view utf8) const {
    std::string encoded;
    encoded.reserve(utf8.size());
    for (std::size_t offset = 0; offset < utf8.size();) {
        if (m_asciiAsIs && static_cast<unsigned char>(utf8[offset]) < 0x80) {
            encoded += utf8[offset++];
            continue;
        }
        const Utf8Char character = DecodeUtf8(utf8.substr(offset));
        const auto spelling = m_spellings.find(character.codePoint);
        if (!character.valid || spelling == m_spellings.end()) return std::nullopt;
        encoded += spelling->second;
        offset += character.length;
    }
    return encoded;
}

std::vector<std::string> TextEncoding::Spellings(char32_t character, CaseMode mode) const {
    const auto own = m_spellings.find(character);
    if (own == m_spellings.end()) return {};
    std::vector<std::string> spellings{own->second};
    for (const auto& [other, bytes] : m_byFold.at(SimpleFold(character))) {
        const bool equal = mode == CaseMode::Insensitive || other == character;
        if (equal && bytes.size() == own->second.size() && bytes != own->second)
            spellings.push_back(bytes);
    }
    return spellings;
}

std::u16string TextEncoding::Decode(std::string_view bytes) const {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        char32_t character = m_single[byte];
        if (m_lead[byte] && i + 1 < bytes.size()) {
            character = m_double[byte * 256u + static_cast<unsigned char>(bytes[i + 1])];
            if (character != kNoCharacter) ++i;
        }
        if (character == kNoCharacter) {
            text.push_back(kReplacementCharacter);
        } else {
            char16_t units[2];
            text.append(units, WriteUtf16(units, character));
        }
    }
    return text;
}

}  // namespace tarnwick

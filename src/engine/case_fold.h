#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One character decoded from the start of a UTF-8 text. A byte that does not
// begin a well-formed sequence is a character of its own with valid == false.
struct Utf8Char {
    char32_t codePoint = 0;
    std::size_t length = 1;
    bool valid = false;
};

Utf8Char DecodeUtf8(std::string_view text);

// Letters that differ only in case, by the simple case folding of the
// Unicode Character Database, are equal when their UTF-8 encodings have the
// same length, so that an occurrence of a phrase spans exactly as many bytes
// as the phrase (the content test's carry between blocks relies on it). With
// Unicode 15.0 that leaves out 34 folds, which the generated
// case_fold_table.cpp lists by name: U+017F long s with s, U+1E9E capital
// sharp s with sharp s, U+2126 ohm sign with omega, U+212A kelvin sign with k,
// U+212B angstrom sign with a with ring, U+1FBE with iota, U+1C80..U+1C87
// with their Cyrillic letters (U+1C84 and U+1C85 stay equal to each other),
// and U+023A, U+023E, U+2C62, U+2C64, U+2C6D..U+2C70, U+2C7E, U+2C7F,
// U+A78D, U+A7AA..U+A7AE, U+A7B0..U+A7B2 and U+A7C5 with their small letters.

// DecodeUtf8 with the code point replaced by a key that is equal for letters
// differing only in case: ASCII letters fold to upper case, other letters to
// their simple fold (or, when that has another UTF-8 length, to the smallest
// letter of the same fold and length), and a malformed byte to a value
// outside Unicode, so it equals only the same malformed byte.
Utf8Char DecodeFoldedChar(std::string_view text);

// Characters (code points) in text; a malformed byte counts as one.
std::size_t CountUtf8Chars(std::string_view text);

std::string EncodeUtf8(char32_t codePoint);

// UTF-16 writes a code point above U+FFFF as a high surrogate followed by a
// low one.
constexpr bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

constexpr bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

constexpr char32_t CodePointOfSurrogates(char16_t high, char16_t low) {
    return 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
}

// Writes the UTF-16 units of codePoint at out; gives the end of what it wrote.
inline char16_t* WriteUtf16(char16_t* out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        *out++ = static_cast<char16_t>(codePoint);
        return out;
    }
    const char32_t offset = codePoint - 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    return out;
}

// The simple case folding of a code point (statuses C and S of the Unicode
// Character Database's CaseFolding.txt): the one spelling that every letter
// differing from it only in case folds to, or the code point itself. Lengths
// of encodings play no part here.
char32_t SimpleFold(char32_t codePoint);

// The UTF-8 spellings of every letter that differs from codePoint only in
// case and has an encoding of the same length, codePoint's own first.
std::vector<std::string> SameLengthCaseVariants(char32_t codePoint);

}  // namespace tarnwick

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

// DecodeUtf8 with the code point folded so that characters differing only in
// letter case are equal: ASCII letters fold to upper case, other letters to
// their simple lower case, and a malformed byte to a value outside Unicode, so
// it equals only the same malformed byte.
Utf8Char DecodeFoldedChar(std::string_view text);

bool IsValidUtf8(std::string_view text);

// Characters (code points) in text; a malformed byte counts as one.
std::size_t CountUtf8Chars(std::string_view text);

std::string EncodeUtf8(char32_t codePoint);

// The simple case folding of a code point: the one spelling that every
// letter differing from it only in case folds to, or the code point itself.
char32_t SimpleFold(char32_t codePoint);

// The UTF-8 spellings of every letter that differs from codePoint only in
// case and has an encoding of the same length, codePoint's own first.
std::vector<std::string> SameLengthCaseVariants(char32_t codePoint);

}  // namespace tarnwick

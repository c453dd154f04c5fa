#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Bytes as UTF-16 text without losing any of them: valid UTF-8 decodes as
// usual, and every byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80..U+DCFF that carries it. EncodeLossless(DecodeLossless(b))
// == b for every byte string b.
std::u16string DecodeLossless(std::string_view bytes);

// The bytes back: characters as UTF-8, a lone surrogate U+DC80..U+DCFF as the
// byte it carries. Any other unpaired surrogate comes from no byte string and
// becomes U+FFFD, the replacement character.
std::string EncodeLossless(std::u16string_view text);

}  // namespace tarnwick

// MatchesWildcard against a plain recursive matcher over characters: "*" any
// run, "?" any one character, other characters equal ignoring case when they
// have the same UTF-8 length and the same simple fold (a malformed byte only
// equals itself), and a trailing ".*" also matches the end of a name.
//
// Input: the name, a zero byte, the pattern (each cut to kLongest bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/case_fold.h"
#include "engine/folder_walk.h"

namespace {

constexpr std::size_t kLongest = 256;

struct Character {
    std::string_view bytes;
    tarnwick::Utf8Char decoded;
};

std::vector<Character> Characters(std::string_view text) {
    std::vector<Character> characters;
    for (std::size_t at = 0; at < text.size();) {
        const tarnwick::Utf8Char decoded = tarnwick::DecodeUtf8(text.substr(at));
        characters.push_back({text.substr(at, decoded.length), decoded});
        at += decoded.length;
    }
    return characters;
}

bool SameIgnoringCase(const Character& a, const Character& b) {
    if (!a.decoded.valid || !b.decoded.valid) return a.bytes == b.bytes;
    return a.bytes.size() == b.bytes.size() &&
           tarnwick::SimpleFold(a.decoded.codePoint) == tarnwick::SimpleFold(b.decoded.codePoint);
}

class ReferenceMatcher {
public:
    ReferenceMatcher(std::string_view name, std::string_view pattern)
        : m_name(Characters(name)),
          m_pattern(Characters(pattern)),
          m_known((m_name.size() + 1) * (m_pattern.size() + 1), kUnknown) {}

    bool Matches() { return MatchesFrom(0, 0); }

private:
    enum Answer : char { kUnknown, kNo, kYes };

    bool MatchesFrom(std::size_t n, std::size_t p) {
        char& known = m_known[n * (m_pattern.size() + 1) + p];
        if (known == kUnknown) known = Decide(n, p) ? kYes : kNo;
        return known == kYes;
    }

    bool Decide(std::size_t n, std::size_t p) {
        if (p == m_pattern.size()) return n == m_name.size();
        const std::string_view token = m_pattern[p].bytes;
        if (token == "*")
            return MatchesFrom(n, p + 1) || (n < m_name.size() && MatchesFrom(n + 1, p));
        if (n == m_name.size()) return false;
        return (token == "?" || SameIgnoringCase(m_name[n], m_pattern[p])) &&
               MatchesFrom(n + 1, p + 1);
    }

    std::vector<Character> m_name;
    std::vector<Character> m_pattern;
    std::vector<char> m_known;
};

bool ReferenceMatches(std::string_view name, std::string_view pattern) {
    if (ReferenceMatcher(name, pattern).Matches()) return true;
    return pattern.ends_with(".*") &&
           ReferenceMatcher(name, pattern.substr(0, pattern.size() - 2)).Matches();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    if (zero == std::string_view::npos) return 0;
    const std::string_view name = input.substr(0, std::min(zero, kLongest));
    const std::string_view pattern = input.substr(zero + 1, kLongest);
    if (tarnwick::MatchesWildcard(name, pattern) != ReferenceMatches(name, pattern)) std::abort();
    return 0;
}

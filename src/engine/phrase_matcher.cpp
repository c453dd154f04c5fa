#include "engine/phrase_matcher.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "engine/case_fold.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARNWICK_X86_SIMD 1
#include <immintrin.h>
#endif

namespace tarnwick {

namespace {

using ByteSet = std::vector<std::uint8_t>;

bool IsAsciiLetter(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// Rough frequency of a byte in ordinary text and source code, so that the
// filter anchors on the bytes that turn up least.
unsigned ByteCost(std::uint8_t byte) {
    static constexpr char kCommonLower[] = "etaoinshrdlcumwfgypbvkjxqz";
    static constexpr unsigned kLowerCost[] = {127, 91, 82, 75, 70, 67, 63, 61, 60, 43, 40, 28, 28,
                                              24,  24, 22, 20, 20, 19, 15, 10, 8,  2,  2,  1,  1};
    if (byte == ' ') return 150;
    if (byte >= 'a' && byte <= 'z')
        return kLowerCost[std::strchr(kCommonLower, byte) - kCommonLower];
    if (byte >= 'A' && byte <= 'Z') return 1 + ByteCost(byte | 0x20) / 10;
    if (byte >= '0' && byte <= '9') return 8;
    if (byte == '\n' || byte == '\r' || byte == '\t') return 20;
    if (byte < 0x80 && byte > ' ') return 4;
    if (byte >= 0x80 && byte < 0xC0) return 3;  // continuation bytes of every non-ASCII letter
    return 1;
}

bool CanBeOneTerm(const ByteSet& bytes) {
    return bytes.size() == 1 ||
           (bytes.size() == 2 && std::has_single_bit(unsigned(bytes[0] ^ bytes[1])));
}

unsigned AnchorCost(const ByteSet& bytes) {
    unsigned cost = CanBeOneTerm(bytes) ? 0 : 5;
    for (std::uint8_t byte : bytes) cost += ByteCost(byte);
    return cost;
}

void AddUnique(ByteSet& set, std::uint8_t byte) {
    if (std::find(set.begin(), set.end(), byte) == set.end()) set.push_back(byte);
}

}  // namespace

// The candidate filters: find positions whose two anchor bytes could start an
// occurrence, then verify the whole phrase there.
struct MatcherKernels {
    static bool InAnchor(const PhraseMatcher::Form::Anchor& anchor, std::uint8_t byte) {
        if (anchor.oneTerm) return std::uint8_t(byte | anchor.orMask) == anchor.value;
        return std::find(anchor.bytes.begin(), anchor.bytes.end(), byte) != anchor.bytes.end();
    }

    static bool ScanScalar(const PhraseMatcher::Form& m, const unsigned char* text,
                           std::size_t from, std::size_t count) {
        const unsigned char* first = text + m.m_first.offset;
        const unsigned char* second = text + m.m_second.offset;
        for (std::size_t i = from; i < count; ++i) {
            if (InAnchor(m.m_first, first[i]) && InAnchor(m.m_second, second[i]) &&
                m.MatchesAt(text + i)) {
                return true;
            }
        }
        return false;
    }

    static bool FindScalar(const PhraseMatcher::Form& m, const unsigned char* text,
                           std::size_t size) {
        return ScanScalar(m, text, 0, size - m.m_phrase.size() + 1);
    }

    template <typename Mask>
    static bool VerifyCandidates(const PhraseMatcher::Form& m, const unsigned char* base,
                                 Mask mask) {
        for (; mask != 0; mask &= mask - 1) {
            if (m.MatchesAt(base + std::countr_zero(mask))) return true;
        }
        return false;
    }

#ifdef TARNWICK_X86_SIMD
    struct Sse2Anchor {
        __m128i orMask, value;
        __m128i bytes[4];
    };

    static Sse2Anchor MakeSse2Anchor(const PhraseMatcher::Form::Anchor& anchor) {
        Sse2Anchor out{_mm_set1_epi8(char(anchor.orMask)), _mm_set1_epi8(char(anchor.value)), {}};
        for (int k = 0; k < 4; ++k) out.bytes[k] = _mm_set1_epi8(char(anchor.bytes[k]));
        return out;
    }

    template <bool OneTerm>
    static __m128i Sse2Hits(const Sse2Anchor& anchor, const unsigned char* at) {
        const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        if constexpr (OneTerm)
            return _mm_cmpeq_epi8(_mm_or_si128(data, anchor.orMask), anchor.value);
        __m128i hits = _mm_cmpeq_epi8(data, anchor.bytes[0]);
        for (int k = 1; k < 4; ++k)
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(data, anchor.bytes[k]));
        return hits;
    }

    template <bool OneTerm>
    static bool FindSse2(const PhraseMatcher::Form& m, const unsigned char* text,
                         std::size_t size) {
        constexpr std::size_t kWidth = 16;
        const std::size_t count = size - m.m_phrase.size() + 1;
        if (count < kWidth) return ScanScalar(m, text, 0, count);
        const Sse2Anchor first = MakeSse2Anchor(m.m_first);
        const Sse2Anchor second = MakeSse2Anchor(m.m_second);
        const unsigned char* firstAt = text + m.m_first.offset;
        const unsigned char* secondAt = text + m.m_second.offset;
        const auto candidates = [&](std::size_t i) {
            const __m128i both = _mm_and_si128(Sse2Hits<OneTerm>(first, firstAt + i),
                                               Sse2Hits<OneTerm>(second, secondAt + i));
            return static_cast<unsigned>(_mm_movemask_epi8(both));
        };
        std::size_t i = 0;
        for (; i + kWidth <= count; i += kWidth) {
            const unsigned mask = candidates(i);
            if (mask != 0 && VerifyCandidates(m, text + i, mask)) return true;
        }
        if (i == count) return false;
        i = count - kWidth;  // one overlapping step covers the tail
        return VerifyCandidates(m, text + i, candidates(i));
    }

    struct Avx2Anchor {
        __m256i orMask, value;
        __m256i bytes[4];
    };

    __attribute__((target("avx2"))) static Avx2Anchor MakeAvx2Anchor(
        const PhraseMatcher::Form::Anchor& anchor) {
        Avx2Anchor out{
            _mm256_set1_epi8(char(anchor.orMask)), _mm256_set1_epi8(char(anchor.value)), {}};
        for (int k = 0; k < 4; ++k) out.bytes[k] = _mm256_set1_epi8(char(anchor.bytes[k]));
        return out;
    }

    template <bool OneTerm>
    __attribute__((target("avx2"))) static __m256i Avx2Hits(const Avx2Anchor& anchor,
                                                            const unsigned char* at) {
        const __m256i data = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        if constexpr (OneTerm) {
            return _mm256_cmpeq_epi8(_mm256_or_si256(data, anchor.orMask), anchor.value);
        }
        __m256i hits = _mm256_cmpeq_epi8(data, anchor.bytes[0]);
        for (int k = 1; k < 4; ++k) {
            hits = _mm256_or_si256(hits, _mm256_cmpeq_epi8(data, anchor.bytes[k]));
        }
        return hits;
    }

    template <bool OneTerm>
    __attribute__((target("avx2"))) static __m256i Avx2Candidates(const Avx2Anchor& first,
                                                                  const Avx2Anchor& second,
                                                                  const unsigned char* firstAt,
                                                                  const unsigned char* secondAt) {
        return _mm256_and_si256(Avx2Hits<OneTerm>(first, firstAt),
                                Avx2Hits<OneTerm>(second, secondAt));
    }

    template <bool OneTerm>
    __attribute__((target("avx2"))) static bool VerifyAvx2(const PhraseMatcher::Form& m,
                                                           const unsigned char* base,
                                                           __m256i candidates) {
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(candidates));
        return mask != 0 && VerifyCandidates(m, base, mask);
    }

    // Two vectors per step with one test for both: candidates are rare, so
    // the loop mostly runs loads, compares and a single branch.
    template <bool OneTerm>
    __attribute__((target("avx2"))) static bool FindAvx2(const PhraseMatcher::Form& m,
                                                         const unsigned char* text,
                                                         std::size_t size) {
        constexpr std::size_t kWidth = 32;
        const std::size_t count = size - m.m_phrase.size() + 1;
        if (count < kWidth) return FindSse2<OneTerm>(m, text, size);
        const Avx2Anchor first = MakeAvx2Anchor(m.m_first);
        const Avx2Anchor second = MakeAvx2Anchor(m.m_second);
        const unsigned char* firstAt = text + m.m_first.offset;
        const unsigned char* secondAt = text + m.m_second.offset;
        std::size_t i = 0;
        for (; i + 2 * kWidth <= count; i += 2 * kWidth) {
            const __m256i low = Avx2Candidates<OneTerm>(first, second, firstAt + i, secondAt + i);
            const __m256i high =
                Avx2Candidates<OneTerm>(first, second, firstAt + i + kWidth, secondAt + i + kWidth);
            if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
                continue;
            if (VerifyAvx2<OneTerm>(m, text + i, low)) return true;
            if (VerifyAvx2<OneTerm>(m, text + i + kWidth, high)) return true;
        }
        for (; i + kWidth <= count; i += kWidth) {
            const __m256i hits = Avx2Candidates<OneTerm>(first, second, firstAt + i, secondAt + i);
            if (VerifyAvx2<OneTerm>(m, text + i, hits)) return true;
        }
        if (i == count) return false;
        i = count - kWidth;  // one overlapping step covers the tail
        return VerifyAvx2<OneTerm>(
            m, text + i, Avx2Candidates<OneTerm>(first, second, firstAt + i, secondAt + i));
    }

    static bool HasAvx2() {
        static const bool hasAvx2 = [] {
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") != 0;
        }();
        return hasAvx2;
    }
#endif

    static PhraseMatcher::Form::Finder Choose(bool oneTerm) {
#ifdef TARNWICK_X86_SIMD
        if (HasAvx2()) return oneTerm ? &FindAvx2<true> : &FindAvx2<false>;
        return oneTerm ? &FindSse2<true> : &FindSse2<false>;
#else
        (void)oneTerm;
        return &FindScalar;
#endif
    }
};

PhraseMatcher::PhraseMatcher(std::string_view phrase, CaseMode mode, const TextEncoding& encoding)
    : m_utf8(Utf8Form(phrase, mode)), m_codePage(CodePageForm(phrase, mode, encoding)) {}

bool PhraseMatcher::LacksPhrase(std::string_view text) const {
    if (!m_utf8.Lacks(text)) return false;
    return !m_codePage || m_codePage->Lacks(text);
}

std::size_t PhraseMatcher::Length() const {
    return std::max(m_utf8.Length(), m_codePage ? m_codePage->Length() : 0);
}

// Ignoring case, an ASCII letter has its two spellings and a longer letter
// those of its case variants with UTF-8 of the same length.
PhraseMatcher::Form PhraseMatcher::Utf8Form(std::string_view phrase, CaseMode mode) {
    std::vector<Letter> letters;
    for (std::size_t offset = 0; mode == CaseMode::Insensitive && offset < phrase.size();) {
        const Utf8Char character = DecodeUtf8(phrase.substr(offset));
        const auto lead = static_cast<unsigned char>(phrase[offset]);
        if (IsAsciiLetter(lead)) {
            letters.push_back(
                {offset, {std::string(1, char(lead | 0x20)), std::string(1, char(lead & ~0x20))}});
        } else if (character.valid && character.length > 1) {
            letters.push_back({offset, SameLengthCaseVariants(character.codePoint)});
        }
        offset += character.length;
    }
    return Form(std::string(phrase), letters);
}

std::optional<PhraseMatcher::Form> PhraseMatcher::CodePageForm(std::string_view phrase,
                                                               CaseMode mode,
                                                               const TextEncoding& encoding) {
    if (!encoding.IsCodePage()) return std::nullopt;
    std::optional<std::string> encoded = encoding.Encode(phrase);
    if (!encoded || *encoded == phrase) return std::nullopt;
    std::vector<Letter> letters;
    std::size_t at = 0;
    for (std::size_t offset = 0; offset < phrase.size();) {
        const Utf8Char character = DecodeUtf8(phrase.substr(offset));
        letters.push_back({at, encoding.Spellings(character.codePoint, mode)});
        at += letters.back().spellings.front().size();
        offset += character.length;
    }
    return Form(std::move(*encoded), letters);
}

// Every byte of the phrase gets an (orMask, value) test that accepts exactly
// the bytes of its letter's spellings. A multi-byte letter whose spellings
// differ in more than one bit cannot be tested byte by byte; its bytes accept
// anything and the letter is checked against its spellings instead.
PhraseMatcher::Form::Form(std::string bytes, const std::vector<Letter>& letters)
    : m_phrase(std::move(bytes)) {
    const std::size_t length = m_phrase.size();
    m_orMask.assign(length, 0);
    m_value.assign(m_phrase.begin(), m_phrase.end());
    std::vector<ByteSet> bytesAt(length);
    for (std::size_t i = 0; i < length; ++i) bytesAt[i] = {std::uint8_t(m_phrase[i])};
    for (const Letter& letter : letters) FoldLetter(letter, bytesAt);
    ChooseAnchors(bytesAt);
}

bool PhraseMatcher::Form::Lacks(std::string_view text) const {
    if (m_phrase.empty()) return false;
    if (text.size() < m_phrase.size()) return true;
    return !m_finder(*this, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void PhraseMatcher::Form::FoldLetter(const Letter& letter, std::vector<ByteSet>& bytesAt) {
    const std::vector<std::string>& variants = letter.spellings;
    const std::size_t offset = letter.offset;
    if (variants.size() < 2) return;
    const std::size_t length = variants.front().size();
    m_exact = false;
    const auto first = bytesAt.begin() + offset;
    for (std::size_t k = 0; k < length; ++k) {
        for (const auto& variant : variants) AddUnique(first[k], variant[k]);
    }
    const auto differing =
        std::count_if(first, first + length, [](const ByteSet& set) { return set.size() > 1; });
    bool byteWise = variants.size() == 2 && differing == 1;
    for (std::size_t k = 0; k < length; ++k) {
        const ByteSet& set = first[k];
        if (set.size() == 1) continue;
        const bool oneTerm = byteWise && CanBeOneTerm(set);
        m_orMask[offset + k] = oneTerm ? set[0] ^ set.back() : 0xFF;
        m_value[offset + k] = oneTerm ? set[0] | set.back() : 0xFF;
        if (!oneTerm) byteWise = false;
    }
    if (!byteWise) m_spellings.push_back({offset, length, variants});
}

void PhraseMatcher::Form::ChooseAnchors(const std::vector<ByteSet>& bytesAt) {
    constexpr unsigned kUnusable = std::numeric_limits<unsigned>::max();
    const auto costAt = [&](std::size_t i) {
        return bytesAt[i].size() <= 4 ? AnchorCost(bytesAt[i]) : kUnusable;
    };
    const auto cheapest = [&](auto&& allowed) {
        std::size_t best = bytesAt.size();
        for (std::size_t i = 0; i < bytesAt.size(); ++i) {
            if (allowed(i) && costAt(i) != kUnusable &&
                (best == bytesAt.size() || costAt(i) < costAt(best))) {
                best = i;
            }
        }
        return best;
    };
    const auto makeAnchor = [&](std::size_t offset) {
        Anchor anchor;
        if (offset >= bytesAt.size()) {  // nothing to filter on: every position is a candidate
            anchor.orMask = anchor.value = 0xFF;
            return anchor;
        }
        const ByteSet& set = bytesAt[offset];
        anchor.offset = offset;
        anchor.oneTerm = CanBeOneTerm(set);
        anchor.orMask = set[0] ^ set.back();
        anchor.value = set[0] | set.back();
        for (std::size_t k = 0; k < anchor.bytes.size(); ++k) anchor.bytes[k] = set[k % set.size()];
        return anchor;
    };
    const std::size_t first = cheapest([](std::size_t) { return true; });
    // Neighbouring bytes often come together ("qu"), so the second anchor
    // keeps a distance when the phrase allows it.
    std::size_t second = cheapest([&](std::size_t i) { return i + 1 < first || i > first + 1; });
    if (second == bytesAt.size()) second = first;
    m_first = makeAnchor(first);
    m_second = makeAnchor(second);
    if (first >= bytesAt.size()) m_second = m_first;
    m_finder = MatcherKernels::Choose(m_first.oneTerm && m_second.oneTerm);
}

bool PhraseMatcher::Form::MatchesAt(const unsigned char* start) const {
    const std::size_t length = m_phrase.size();
    if (m_exact) return std::memcmp(start, m_phrase.data(), length) == 0;
    std::size_t i = 0;
#ifdef TARNWICK_X86_SIMD
    const auto matches16 = [&](std::size_t at) {
        const auto load = [](const void* from) {
            return _mm_loadu_si128(static_cast<const __m128i*>(from));
        };
        const __m128i folded = _mm_or_si128(load(start + at), load(m_orMask.data() + at));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(folded, load(m_value.data() + at))) == 0xFFFF;
    };
    if (length >= 16) {
        for (; i + 16 <= length; i += 16) {
            if (!matches16(i)) return false;
        }
        if (i < length && !matches16(length - 16)) return false;
        i = length;
    }
#endif
    for (; i < length; ++i) {
        if (std::uint8_t(start[i] | m_orMask[i]) != m_value[i]) return false;
    }
    for (const Spellings& letter : m_spellings) {
        const auto* at = start + letter.offset;
        const bool any = std::any_of(letter.variants.begin(), letter.variants.end(),
                                     [&](const std::string& variant) {
                                         return std::memcmp(at, variant.data(), letter.length) == 0;
                                     });
        if (!any) return false;
    }
    return true;
}

}  // namespace tarnwick

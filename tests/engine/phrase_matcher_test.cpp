#include "engine/phrase_matcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

struct MatchCase {
    const char* name;
    std::string text;
    std::string phrase;
    bool lacksSensitive;
    bool lacksInsensitive;
};

class PhraseMatcherCases : public ::testing::TestWithParam<MatchCase> {};

const TextEncoding kUtf8 = TextEncoding::Utf8();

TEST_P(PhraseMatcherCases, AnswersInBothModes) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(PhraseMatcher(c.phrase, CaseMode::Sensitive, kUtf8).LacksPhrase(c.text),
              c.lacksSensitive);
    EXPECT_EQ(PhraseMatcher(c.phrase, CaseMode::Insensitive, kUtf8).LacksPhrase(c.text),
              c.lacksInsensitive);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PhraseMatcherCases,
    ::testing::Values(MatchCase{"AsciiCapitals", "xxABCxx", "abc", true, false},
                      MatchCase{"ExactBytes", "xxabcxx", "abc", false, false},
                      MatchCase{"AtStartAndEnd", "abc", "abc", false, false},
                      MatchCase{"PhraseLongerThanText", "ab", "abc", true, true},
                      MatchCase{"EmptyPhraseInEmptyText", "", "", false, false},
                      MatchCase{"EmptyPhraseInText", "abc", "", false, false},
                      MatchCase{"AtAndBacktickAreNotCases", "a@b", "a`b", true, true},
                      MatchCase{"BracketsAreNotCases", "[x]", "{x}", true, true},
                      MatchCase{"LatinOne",
                                "une \xC3\xA9"
                                "cole",
                                "\xC3\x89"
                                "COLE",
                                true, false},
                      MatchCase{"TimesIsNotDivide", "\xC3\x97", "\xC3\xB7", true, true},
                      MatchCase{"LatinExtendedA",
                                "\xC5\x81\xC3\xB3"
                                "d\xC5\xBA",
                                "\xC5\x82\xC3\x93"
                                "D\xC5\xB9",
                                true, false},
                      MatchCase{"YDiaeresisCapital", "\xC5\xB8", "\xC3\xBF", true, false},
                      MatchCase{"Cyrillic", "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2",
                                "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", true, false},
                      MatchCase{"CyrillicLeadBytesDoNotMix", "\xD0\x80", "\xD1\x80", true, true},
                      MatchCase{"GreekFinalSigma", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3",
                                "\xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82", true, false},
                      MatchCase{"MicroSignIsMu", "1 \xC2\xB5m", "1 \xCE\x9CM", true, false},
                      MatchCase{"SharpSIsNotTwoLetters", "STRASSE",
                                "stra\xC3\x9F"
                                "e",
                                true, true},
                      MatchCase{"KelvinSignHasAnotherLength", "\xE2\x84\xAA", "k", true, true},
                      MatchCase{"FullwidthLetters", "\xEF\xBC\xA1", "\xEF\xBD\x81", true, false},
                      MatchCase{"InvalidBytesCompareExactly",
                                "a\xFF"
                                "b",
                                "A\xFF"
                                "B",
                                true, false},
                      MatchCase{"TruncatedSequenceIsNotFolded", "\xE3", "\xC3", true, true},
                      MatchCase{"GreekInText", "Το Ωμέγα.", "Ωμέγα", false, false},
                      MatchCase{"GreekInCapitals", "ΤΟ ΩΜΈΓΑ", "Ωμέγα", true, false},
                      MatchCase{"GreekAbsent", "Ωμέγ α", "Ωμέγα", true, true},
                      MatchCase{"CyrillicInText", "Привет, мир!", "мир", false, false},
                      MatchCase{"CyrillicAbsent", "Привет, МОР!", "мир", true, true},
                      MatchCase{"ChineseInText", "这是中文文本", "中文", false, false},
                      MatchCase{"ChineseAbsent", "这是中国文本", "中文", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Texts are built from tokens, each a character with its case class, so a
// reference search can work on token sequences instead of bytes.
struct Token {
    std::string bytes;
    int caseClass;
};

const std::vector<Token> kTokens = {
    {"a", 0},         {"A", 0},         {"b", 1},         {"B", 1},         {" ", 2},
    {"@", 3},         {"`", 4},         {"z", 5},         {"Z", 5},         {"\xC3\xA9", 6},
    {"\xC3\x89", 6},  {"\xD1\x80", 7},  {"\xD0\xA0", 7},  {"\xD0\x80", 8},  {"\xC2\xB5", 9},
    {"\xCE\xBC", 9},  {"\xCE\x9C", 9},  {"\xCF\x83", 10}, {"\xCF\x82", 10}, {"\xCE\xA3", 10},
    {"\xC3\x97", 11}, {"\xC3\xB7", 12}, {"\xFF", 13},
};

struct Sample {
    std::vector<int> tokens;
    std::string bytes;
};

Sample RandomSample(std::mt19937& random, std::size_t length, std::size_t alphabet) {
    Sample sample;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet - 1);
    for (std::size_t i = 0; i < length; ++i) {
        const auto token = static_cast<int>(pick(random));
        sample.tokens.push_back(token);
        sample.bytes += kTokens[token].bytes;
    }
    return sample;
}

bool ReferenceLacks(const Sample& text, const Sample& phrase, CaseMode mode) {
    const auto same = [mode](int left, int right) {
        if (mode == CaseMode::Sensitive) return left == right;
        return kTokens[left].caseClass == kTokens[right].caseClass;
    };
    return std::search(text.tokens.begin(), text.tokens.end(), phrase.tokens.begin(),
                       phrase.tokens.end(), same) == text.tokens.end();
}

// A phrase cut from the text, with some of its letters swapped for another
// letter of the same case class, so that both answers are common.
Sample PhraseFrom(std::mt19937& random, const Sample& text, std::size_t length) {
    Sample phrase;
    std::uniform_int_distribution<std::size_t> start(0, text.tokens.size() - length);
    const std::size_t from = start(random);
    for (std::size_t i = from; i < from + length; ++i) {
        int token = text.tokens[i];
        if (random() % 3 == 0) {
            for (std::size_t k = 0; k < kTokens.size(); ++k) {
                if (kTokens[k].caseClass == kTokens[token].caseClass && random() % 2 == 0) {
                    token = static_cast<int>(k);
                }
            }
        }
        phrase.tokens.push_back(token);
        phrase.bytes += kTokens[token].bytes;
    }
    return phrase;
}

class PhraseMatcherProperty : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PhraseMatcherProperty, AgreesWithReferenceSearchAtEveryLengthAndAlignment) {
    const std::size_t alphabet = GetParam();
    std::mt19937 random(20240601);
    int lacking = 0;
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::size_t textLength = 1 + random() % 90;
        const Sample text = RandomSample(random, textLength, alphabet);
        const std::size_t phraseLength = 1 + random() % std::min<std::size_t>(textLength, 12);
        const Sample phrase = round % 4 == 0 ? RandomSample(random, phraseLength, alphabet)
                                             : PhraseFrom(random, text, phraseLength);
        const std::string padded = std::string(round % 33, '#') + text.bytes;
        const std::string_view shifted = std::string_view(padded).substr(round % 33);
        for (const CaseMode mode : {CaseMode::Sensitive, CaseMode::Insensitive}) {
            const bool expected = ReferenceLacks(text, phrase, mode);
            ASSERT_EQ(PhraseMatcher(phrase.bytes, mode, kUtf8).LacksPhrase(shifted), expected)
                << "text '" << text.bytes << "' phrase '" << phrase.bytes << "' mode "
                << static_cast<int>(mode);
            (expected ? lacking : found) += 1;
        }
    }
    EXPECT_GT(lacking, 1000);
    EXPECT_GT(found, 1000);
}

// Five tokens: plain ASCII letters, space and the two symbols that differ from
// letters only in the case bit; then every token including multi-byte ones.
INSTANTIATE_TEST_SUITE_P(Alphabets, PhraseMatcherProperty, ::testing::Values(7, kTokens.size()));

TEST(PhraseMatcher, FindsPhraseAroundVectorBoundaries) {
    const std::string phrase = "Quarterly Revenue";
    for (std::size_t size = phrase.size(); size < 140; ++size) {
        for (std::size_t at = 0; at + phrase.size() <= size; ++at) {
            std::string text(size, 'e');
            text.replace(at, phrase.size(), "QUARTERLY revenue");
            ASSERT_FALSE(PhraseMatcher(phrase, CaseMode::Insensitive).LacksPhrase(text))
                << size << " " << at;
            ASSERT_TRUE(PhraseMatcher(phrase, CaseMode::Sensitive).LacksPhrase(text))
                << size << " " << at;
        }
    }
}

using CodePageTable = std::vector<CodePageCharacter>;

CodePageTable WithAscii(CodePageTable table) {
    for (char32_t c = 0; c < 0x80; ++c) table.push_back({std::string(1, char(c)), c});
    return table;
}

// Windows-1252: Latin-1 but for 0x80..0x9F, where it has letters of its own
// and five bytes without a character (left as their C1 control here).
CodePageTable Windows1252() {
    static constexpr char32_t kHighControls[32] = {
        0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021, 0x2C6,  0x2030, 0x160,
        0x2039, 0x152,  0x8D,   0x17D,  0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    CodePageTable table = WithAscii({});
    for (char32_t byte = 0x80; byte < 0x100; ++byte)
        table.push_back(
            {std::string(1, char(byte)), byte < 0xA0 ? kHighControls[byte - 0x80] : byte});
    return table;
}

// The letters of Windows-1253: capitals at 0xC1..0xDB (0xD2 has none), small
// letters at 0xDC..0xFE, capitals with tonos at 0xA2 and 0xB8..0xBF.
CodePageTable Windows1253Letters() {
    CodePageTable table = WithAscii({{"\xA2", 0x386}});
    for (char32_t byte = 0xB8; byte <= 0xFE; ++byte) {
        if (byte != 0xBB && byte != 0xBD && byte != 0xD2)
            table.push_back({std::string(1, char(byte)), byte + 0x2D0});
    }
    return table;
}

// A few characters of a double-byte code page (as Windows-936 spells them),
// 中 with a second spelling as some code pages have.
CodePageTable DoubleByteSample() {
    return WithAscii({{"\xD6\xD0", U'中'},
                      {"\xCE\xC4", U'文'},
                      {"\xFA\x40", U'中'},
                      {"\xA3\xC1", U'Ａ'},
                      {"\xA3\xE1", U'ａ'},
                      {"\xA6\xB8", U'Ω'},
                      {"\xA6\xD8", U'ω'}});
}

TEST(PhraseMatcher, FoldsTheLettersOfASingleByteCodePage) {
    const TextEncoding windows1252 = TextEncoding::CodePage(Windows1252());
    const struct {
        std::string text;
        std::string phrase;
        bool lacksInsensitive;
    } cases[] = {
        {"une \xC9"
         "cole",
         "éCOLE", false},                // E and e with acute
        {"\x9F", "ÿ", false},            // Y and y with diaeresis, bits apart
        {"\x8A\x8C\x8E", "šœž", false},  // S and Z with caron, OE, and their small
        {"\xD7", "÷", true},             // times and divide are no letters
        {"\xDF", "SS", true},            // sharp s stays one letter
        {"\xB5", "μ", true},             // mu, which micro folds to, has no byte here
        {"QUARTERLY", "quarterly", false},
        {"\xC3\xA9", "É", false},  // the UTF-8 form is searched too
    };
    for (const auto& [text, phrase, lacks] : cases) {
        EXPECT_EQ(PhraseMatcher(phrase, CaseMode::Insensitive, windows1252).LacksPhrase(text),
                  lacks)
            << ::testing::PrintToString(phrase);
        // No phrase of the table is in its text byte for byte.
        EXPECT_TRUE(PhraseMatcher(phrase, CaseMode::Sensitive, windows1252).LacksPhrase(text))
            << ::testing::PrintToString(phrase);
    }
}

TEST(PhraseMatcher, FindsThePhraseInACodePageWhereItHasEveryCharacter) {
    const TextEncoding greek = TextEncoding::CodePage(Windows1253Letters());
    const TextEncoding doubleByte = TextEncoding::CodePage(DoubleByteSample());
    const struct {
        const TextEncoding& encoding;
        std::string text;
        std::string phrase;
        bool lacksSensitive;
        bool lacksInsensitive;
    } cases[] = {
        {greek, "\xD9\xEC\xDD\xE3\xE1", "Ωμέγα", false, false},
        {greek, "\xD9\xCC\xB8\xC3\xC1", "Ωμέγα", true, false},  // ΩΜΈΓΑ: έ and Έ bits apart
        {greek, "\xD9\xEC\xDD\xE3 \xE1", "Ωμέγα", true, true},
        {greek, "\xF3\xEF\xF6\xEF\xF2", "ΣΟΦΟΣ", true, false},      // σ, ς and Σ
        {greek, "\xD9\xEC\xDD\xE3\xE1 ?", "Ωμέγα 中", true, true},  // 中 has no byte here
        {doubleByte, "ab\xD6\xD0\xCE\xC4", "中文", false, false},
        {doubleByte, "\xFA\x40\xCE\xC4", "中文", false, false},
        {doubleByte, "\xD6\xD0\xD6\xD0", "中文", true, true},
        {doubleByte, "x\xA3\xC1", "ａ", true, false},
        {doubleByte, "x\xA6\xB8y", "ω", true, false},
    };
    for (const auto& [encoding, text, phrase, lacksSensitive, lacksInsensitive] : cases) {
        EXPECT_EQ(PhraseMatcher(phrase, CaseMode::Sensitive, encoding).LacksPhrase(text),
                  lacksSensitive)
            << phrase << " in " << ::testing::PrintToString(text);
        EXPECT_EQ(PhraseMatcher(phrase, CaseMode::Insensitive, encoding).LacksPhrase(text),
                  lacksInsensitive)
            << phrase << " in " << ::testing::PrintToString(text);
    }
    EXPECT_EQ(PhraseMatcher("中文", CaseMode::Sensitive, doubleByte).Length(), 6u);
}

}  // namespace
}  // namespace tarnwick

// The case folding against the system's Unicode library (ICU), code point by
// code point, and the search on one file per pair of case variants.
#include "engine/case_fold.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsScalarValue(char32_t c) {
    return c < 0xD800 || (c > 0xDFFF && c <= kLastCodePoint);
}

char32_t LibraryFold(char32_t c) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

std::string Hex(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// The case classes by the library: every fold that some other code point
// folds to, with all its letters (itself first).
const std::map<char32_t, std::vector<char32_t>>& LibraryClasses() {
    static const auto classes = [] {
        std::map<char32_t, std::vector<char32_t>> byFold;
        for (char32_t c = 0; c <= kLastCodePoint; ++c) {
            const char32_t fold = LibraryFold(c);
            if (fold == c) continue;
            auto& letters = byFold[fold];
            if (letters.empty()) letters.push_back(fold);
            letters.push_back(c);
        }
        return byFold;
    }();
    return classes;
}

// The first faults found, enough to see what goes wrong.
struct Faults {
    std::string text;
    void Add(const std::string& fault) {
        if (text.size() < 2000) text += fault + "\n";
    }
};

char32_t FoldedKey(char32_t c) {
    return DecodeFoldedChar(EncodeUtf8(c)).codePoint;
}

TEST(CaseFold, EveryCodePointFoldsAsTheUnicodeLibraryFoldsIt) {
    Faults wrong;
    for (char32_t c = 0; c <= kLastCodePoint; ++c) {
        if (SimpleFold(c) != LibraryFold(c))
            wrong.Add(Hex(c) + " gives " + Hex(SimpleFold(c)) + ", not " + Hex(LibraryFold(c)));
    }
    EXPECT_EQ(wrong.text, "");
}

// Two characters are equal ignoring case exactly when the library folds them
// alike and their UTF-8 encodings have the same length: as case variants of
// the phrase matcher and as keys of the name order and wildcards.
TEST(CaseFold, LettersOfOneFoldAndOneLengthAreEqualAndNoOthers) {
    Faults wrong;
    for (const auto& [fold, letters] : LibraryClasses()) {
        for (const char32_t c : letters) {
            const std::string own = EncodeUtf8(c);
            std::vector<std::string> expected;
            for (const char32_t letter : letters) {
                const std::string spelling = EncodeUtf8(letter);
                const bool sameLength = spelling.size() == own.size();
                if (sameLength) expected.push_back(spelling);
                if ((FoldedKey(letter) == FoldedKey(c)) != sameLength)
                    wrong.Add("keys of " + Hex(c) + " and " + Hex(letter));
            }
            std::vector<std::string> variants = SameLengthCaseVariants(c);
            if (variants.front() != own) wrong.Add("variants of " + Hex(c) + " start elsewhere");
            std::sort(variants.begin(), variants.end());
            std::sort(expected.begin(), expected.end());
            if (variants != expected) wrong.Add("variants of " + Hex(c));
        }
    }
    std::vector<std::uint64_t> classOfKey(kLastCodePoint + 1, 0);
    for (char32_t c = 0; c <= kLastCodePoint; ++c) {
        if (!IsScalarValue(c)) continue;
        const std::uint64_t letterClass = std::uint64_t{LibraryFold(c)} << 3 | EncodeUtf8(c).size();
        std::uint64_t& owner = classOfKey.at(FoldedKey(c));
        if (owner != 0 && owner != letterClass) wrong.Add("key of " + Hex(c) + " is taken");
        owner = letterClass;
    }
    EXPECT_EQ(wrong.text, "");
}

struct FilePair {
    std::string fileText;
    std::string phrase;
    bool containsIgnoringCase;
};

// Every pair of case variants by the library, after a start
// without letters that passes the text check, and the words of scripts that
// were once missed.
std::vector<FilePair> FilePairs() {
    std::vector<FilePair> pairs = {
        {"file: Fi\xC8\x99ier", "FI\xC8\x98IER", true},  // Romanian
        {"file: \xC4\x91\xC6\xB0\xE1\xBB\xA3\x63", "\xC4\x90\xC6\xAF\xE1\xBB\xA2\x43",
         true},                                                              // Vietnamese
        {"file: s\xC9\x99n\xC9\x99\x64i", "S\xC6\x8FN\xC6\x8F\x44I", true},  // Azerbaijani
        {"file: \xE1\x83\xA4\xE1\x83\x90\xE1\x83\x98\xE1\x83\x9A\xE1\x83\x98",
         "\xE1\xB2\xA4\xE1\xB2\x90\xE1\xB2\x98\xE1\xB2\x9A\xE1\xB2\x98", true},  // Georgian
    };
    for (const auto& [fold, letters] : LibraryClasses()) {
        for (std::size_t first = 0; first < letters.size(); ++first) {
            for (std::size_t second = first + 1; second < letters.size(); ++second) {
                const std::string spelling = EncodeUtf8(letters[first]);
                const std::string other = EncodeUtf8(letters[second]);
                pairs.push_back({"12345 " + spelling, other, spelling.size() == other.size()});
            }
        }
    }
    return pairs;
}

TEST(CaseFold, EachCasePairIsFoundInAFileOnlyWhenCaseIsIgnored) {
    using testing::TempDir;
    const auto verdict = [](const std::string& path, const std::string& phrase, CaseMode mode) {
        const Expected<Verdict> tested =
            TestFileContent(path, PhraseMatcher(phrase, mode), [] { return true; });
        return tested.HasValue() ? tested.Value() : Verdict::NotTested;
    };
    TempDir dir;
    const std::vector<FilePair> pairs = FilePairs();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& [fileText, phrase, containsIgnoringCase] = pairs[i];
        const std::string path = dir.WriteFile("pair" + std::to_string(i) + ".txt", fileText);
        EXPECT_EQ(verdict(path, phrase, CaseMode::Insensitive),
                  containsIgnoringCase ? Verdict::Contains : Verdict::Lacks)
            << fileText << " ~ " << phrase;
        EXPECT_EQ(verdict(path, phrase, CaseMode::Sensitive), Verdict::Lacks)
            << fileText << " ~ " << phrase;
    }
    EXPECT_GT(pairs.size(), 1400u);
}

}  // namespace
}  // namespace tarnwick

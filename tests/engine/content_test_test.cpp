#include "engine/content_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/readable_file.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using testing::TempDir;

const std::string kPhrase = "Quarterly Revenue";

struct Outcome {
    Expected<Verdict> verdict;
    int keepGoingCalls;
};

Outcome SearchFile(const std::string& path, const std::string& phrase = kPhrase,
                   CaseMode mode = CaseMode::Sensitive, int allowedBlocks = 1 << 30) {
    int calls = 0;
    const PhraseMatcher matcher(phrase, mode);
    auto verdict = TestFileContent(path, matcher, [&] { return ++calls <= allowedBlocks; });
    return {verdict, calls};
}

Verdict VerdictOf(const Outcome& run) {
    EXPECT_TRUE(run.verdict.HasValue()) << run.verdict.Error().description;
    return run.verdict.HasValue() ? run.verdict.Value() : Verdict::NotTested;
}

struct SizeCase {
    std::uint64_t size;
    int blocks;
};

class FileSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FileSizes, AsksBeforeEveryBlockOfALargeFileAndFindsThePhraseAtTheEnd) {
    const auto [size, blocks] = GetParam();
    TempDir dir;
    std::string content(size, 'x');
    const std::string lacking = dir.WriteFile("lacking.txt", content);
    EXPECT_EQ(VerdictOf(SearchFile(lacking)), Verdict::Lacks);
    EXPECT_EQ(SearchFile(lacking).keepGoingCalls, blocks);
    if (size >= kPhrase.size() + 5) {
        content.replace(size - kPhrase.size(), kPhrase.size(), kPhrase);
        EXPECT_EQ(VerdictOf(SearchFile(dir.WriteFile("ending.txt", content))), Verdict::Contains);
    }
}

INSTANTIATE_TEST_SUITE_P(Borders, FileSizes,
                         ::testing::Values(SizeCase{0, 0}, SizeCase{4, 0}, SizeCase{51200, 0},
                                           SizeCase{51201, 1}, SizeCase{102400, 1},
                                           SizeCase{102401, 2}, SizeCase{204801, 3}),
                         [](const auto& info) {
                             return "Bytes" + std::to_string(info.param.size);
                         });

TEST(TestFileContent, FindsThePhraseAcrossEveryBlockBorder) {
    TempDir dir;
    for (const std::uint64_t border : {kBlockSize, 2 * kBlockSize}) {
        for (std::size_t before = 1; before < kPhrase.size(); ++before) {
            std::string content(2 * kBlockSize + 300, '.');
            content.replace(border - before, kPhrase.size(), "QUARTERLY REVENUE");
            const std::string path = dir.WriteFile("straddle.txt", content);
            EXPECT_EQ(VerdictOf(SearchFile(path)), Verdict::Lacks) << border << " " << before;
            EXPECT_EQ(VerdictOf(SearchFile(path, kPhrase, CaseMode::Insensitive)),
                      Verdict::Contains)
                << border << " " << before;
        }
    }
}

struct StartCase {
    const char* name;
    std::string content;
    Verdict verdict;
};

class FileStarts : public ::testing::TestWithParam<StartCase> {};

TEST_P(FileStarts, JudgeTextByTheFirstFiveBytes) {
    TempDir dir;
    const StartCase& c = GetParam();
    EXPECT_EQ(VerdictOf(SearchFile(dir.WriteFile("f", c.content), "ab")), c.verdict);
    std::string large = c.content + std::string(kSingleReadLimit, 'z');
    EXPECT_EQ(VerdictOf(SearchFile(dir.WriteFile("large", large), "ab")), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileStarts,
    ::testing::Values(StartCase{"Tab", "\tab", Verdict::NonText},
                      StartCase{"CarriageReturn", "xyz\r\nab", Verdict::NonText},
                      StartCase{"LineFeedAtFifth", "xyzw\nab", Verdict::NonText},
                      StartCase{"LineFeedAtSixth", "xyzwv\nab", Verdict::Contains},
                      StartCase{"Nul", std::string("ab\0cd", 5), Verdict::NonText},
                      StartCase{"Delete",
                                "ab\x7F"
                                "cd",
                                Verdict::NonText},
                      StartCase{"HighByte", "abcd\xE9", Verdict::NonText},
                      StartCase{"ByteOrderMark",
                                "\xEF\xBB\xBF"
                                "ab",
                                Verdict::NonText},
                      StartCase{"Printable", " ~xyz", Verdict::Lacks},
                      StartCase{"ShortPrintable", "ab", Verdict::Contains},
                      StartCase{"ShortWithLineFeed", "a\n", Verdict::NonText}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TestFileContent, EmptyFileIsTextThatHoldsOnlyTheEmptyPhrase) {
    TempDir dir;
    const std::string path = dir.WriteFile("empty.txt", "");
    EXPECT_EQ(VerdictOf(SearchFile(path, "a")), Verdict::Lacks);
    EXPECT_EQ(VerdictOf(SearchFile(path, "")), Verdict::Contains);
}

TEST(TestFileContent, BlanksPastTheEndOfTheFileAreNotThere) {
    TempDir dir;
    for (const std::size_t size :
         {std::size_t{10}, std::size_t{kSingleReadLimit + 1}, std::size_t{kBlockSize + 7}}) {
        std::string content(size, 'x');
        content.replace(size - 3, 3, "end");
        const std::string path = dir.WriteFile("blanks.txt", content);
        EXPECT_EQ(VerdictOf(SearchFile(path, "end  ")), Verdict::Lacks) << size;
        EXPECT_EQ(VerdictOf(SearchFile(path, "end")), Verdict::Contains) << size;
    }
}

TEST(TestFileContent, NonAsciiLettersFoldInFiles) {
    TempDir dir;
    const std::string path = dir.WriteFile("fr.txt",
                                           "Notes: une \xC3\xA9"
                                           "cole");
    const auto verdict = [&](CaseMode mode) {
        const PhraseMatcher matcher(
            "\xC3\x89"
            "COLE",
            mode, TextEncoding::Utf8());
        return TestFileContent(path, matcher, [] { return true; }).Value();
    };
    EXPECT_EQ(verdict(CaseMode::Insensitive), Verdict::Contains);
    EXPECT_EQ(verdict(CaseMode::Sensitive), Verdict::Lacks);
}

// A file of three blocks with "alpha" in the first and "omega" in the last:
// listed when it lacks every phrase to lack and holds every one to hold, read
// only until that is known.
TEST(TestFileContent, SeveralPhrasesDecideOnceKnownAndReadNoFurther) {
    const struct {
        std::vector<std::string> lacking, containing;
        CaseMode mode;
        Verdict verdict;
        int blocks;
    } cases[] = {
        {{"beta", "gamma"}, {}, CaseMode::Sensitive, Verdict::Lacks, 3},
        {{"beta", "alpha"}, {}, CaseMode::Sensitive, Verdict::Contains, 1},
        {{"beta"}, {"alpha"}, CaseMode::Sensitive, Verdict::Lacks, 3},
        {{}, {"alpha"}, CaseMode::Sensitive, Verdict::Lacks, 1},
        {{}, {"omega", "alpha"}, CaseMode::Sensitive, Verdict::Lacks, 3},
        {{}, {"alpha", "beta"}, CaseMode::Sensitive, Verdict::Contains, 3},
        {{"OMEGA"}, {"ALPHA"}, CaseMode::Insensitive, Verdict::Contains, 3},
    };
    TempDir dir;
    std::string content(3 * kBlockSize, 'x');
    content.replace(10, 5, "alpha");
    content.replace(content.size() - 10, 5, "omega");
    const std::string path = dir.WriteFile("three.txt", content);
    for (const auto& c : cases) {
        int blocks = 0;
        const Expected<Verdict> verdict = TestFileContent(
            path, ContentConditions(c.lacking, c.containing, c.mode), [&] { return ++blocks > 0; });
        EXPECT_EQ(verdict.Value(), c.verdict) << c.lacking.size() << " " << c.containing.size();
        EXPECT_EQ(blocks, c.blocks) << c.lacking.size() << " " << c.containing.size();
    }
}

TEST(TestFileContent, StopsBeforeTheNextBlockWhenToldTo) {
    TempDir dir;
    std::string content(3 * kBlockSize, 'x');
    const std::string path = dir.WriteFile("big.txt", content);
    const Outcome stopped = SearchFile(path, kPhrase, CaseMode::Sensitive, 1);
    EXPECT_EQ(VerdictOf(stopped), Verdict::Stopped);
    EXPECT_EQ(stopped.keepGoingCalls, 2);
    content.replace(10, kPhrase.size(), kPhrase);
    const Outcome found =
        SearchFile(dir.WriteFile("early.txt", content), kPhrase, CaseMode::Sensitive, 1);
    EXPECT_EQ(VerdictOf(found), Verdict::Contains);
    EXPECT_EQ(found.keepGoingCalls, 1);
}

TEST(TestFileContent, PassesOverWhatIsNotARegularFileWithoutOpeningIt) {
    TempDir dir;
    std::vector<std::pair<std::string, Verdict>> cases = {
        {dir.MakeFolder("sub"), Verdict::NotAFile},
        {dir.PathOf("missing"), Verdict::NotAFile},
        {"", Verdict::NotAFile}};
#ifdef _WIN32
    dir.WriteFile("system.txt", "text");
    cases.emplace_back(dir.SetAttributes("system.txt", FILE_ATTRIBUTE_SYSTEM), Verdict::NotTested);
#else
    cases.emplace_back(dir.MakeFifo("pipe"), Verdict::NotTested);
    cases.emplace_back("/dev/null", Verdict::NotTested);
#endif
    for (const auto& [path, verdict] : cases) {
        EXPECT_EQ(VerdictOf(SearchFile(path)), verdict) << path;
    }
}

#ifndef _WIN32
TEST(TestFileContent, ReportsAFileThatCannotBeOpened) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    TempDir dir;
    const std::string path = dir.WriteFile("secret.txt", "hello");
    chmod(path.c_str(), 0);
    const Outcome run = SearchFile(path);
    ASSERT_FALSE(run.verdict.HasValue());
    EXPECT_EQ(run.verdict.Error().code, EACCES);
    EXPECT_EQ(run.verdict.Error().description, "Cannot open \"" + path + "\": Permission denied");
}

TEST(ReadableFile, ReportsAReadFailureWithTheFileAndTheReason) {
    TempDir dir;
    auto folder = ReadableFile::Open(dir.Path());
    ASSERT_TRUE(folder.HasValue());
    EXPECT_FALSE(folder.Value().IsRegular());
    char byte = 0;
    const auto read = folder.Value().Read(&byte, 1);
    ASSERT_FALSE(read.HasValue());
    EXPECT_EQ(read.Error().code, EISDIR);
    EXPECT_EQ(read.Error().description, "Cannot read \"" + dir.Path() + "\": Is a directory");
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

TEST(TestFileContent, ClosesTheFileOnEveryWayOut) {
    TempDir dir;
    const std::string big(3 * kBlockSize, 'x');
    const std::string paths[] = {dir.WriteFile("small", "abc"), dir.WriteFile("binary", "\x01"),
                                 dir.WriteFile("big", big), dir.WriteFile("found", kPhrase + big)};
    const std::size_t before = OpenDescriptors();
    for (const auto& path : paths) {
        (void)SearchFile(path);
        (void)SearchFile(path, kPhrase, CaseMode::Insensitive, 0);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}
#endif

}  // namespace
}  // namespace tarnwick

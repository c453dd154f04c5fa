#include "engine/small_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/content_test.h"
#include "engine/file_test_pool.h"
#include "scoped_test_fs.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

using testing::TempDir;

std::unique_ptr<SmallFileReader> ReaderOrNothing() {
    return SmallFileReader::Create(kSingleReadLimit);
}

// Every kind of path a batch meets, with what it must find, read and say;
// twice over, so that the second batch reuses what the first one left. A
// link, whose target may lie on a share, is left to the caller.
TEST(SmallFileReader, LooksUpEveryPathAndReadsOnlySmallRegularFiles) {
    const auto reader = ReaderOrNothing();
    if (!reader) GTEST_SKIP() << "this system refuses batched reads";
    TempDir dir;
    const std::string linked = dir.WriteFile("target.txt", "through a link");
    ASSERT_EQ(symlink(linked.c_str(), dir.PathOf("link").c_str()), 0);
    const std::string loop = dir.PathOf("loop");
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    const struct {
        std::string path;
        Expected<PathKind> kind;
        std::optional<std::string> content;
        bool batched = true;
    } cases[] = {
        {dir.WriteFile("text.txt", "hello world"), PathKind::RegularFile, "hello world"},
        {dir.WriteFile("empty.txt", ""), PathKind::RegularFile, ""},
        {dir.WriteFile("limit.txt", std::string(kSingleReadLimit, 'a')), PathKind::RegularFile,
         std::string(kSingleReadLimit, 'a')},
        {dir.WriteFile("large.txt", std::string(kSingleReadLimit + 1, 'a')), PathKind::RegularFile,
         std::nullopt},
        {dir.PathOf("link"), PathKind::Missing, std::nullopt, false},
        {dir.MakeFolder("folder"), PathKind::Directory, std::nullopt},
        {dir.PathOf("missing"), PathKind::Missing, std::nullopt},
        {dir.MakeFifo("pipe"), PathKind::Other, std::nullopt},
        {dir.PathOf("text.txt") + std::string(1, '\0') + "x", PathKind::Missing, std::nullopt},
        {std::string(), PathKind::Missing, std::nullopt},
        {loop, FileError("look up", loop, ELOOP), std::nullopt, false},
    };
    std::vector<const std::string*> paths;
    for (const auto& row : cases) paths.push_back(&row.path);
    for (int batch = 0; batch < 2; ++batch) {
        std::vector<SmallFileOutcome> outcomes(paths.size());
        reader->ReadAll(paths, outcomes);
        // Files on a share or a FUSE file system are left to the caller.
        const bool batchedHere = outcomes[0].lookedUp;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const SmallFileOutcome& outcome = outcomes[i];
            SCOPED_TRACE(cases[i].path);
            if (!batchedHere || !cases[i].batched) {
                if (!cases[i].path.empty()) {
                    EXPECT_FALSE(outcome.lookedUp);
                }
                continue;
            }
            EXPECT_TRUE(outcome.lookedUp);
            if (cases[i].kind) {
                EXPECT_EQ(outcome.kind, cases[i].kind.Value());
            } else {
                EXPECT_EQ(outcome.kind.Error().description, cases[i].kind.Error().description);
            }
            ASSERT_EQ(outcome.read.has_value(), cases[i].content.has_value());
            if (cases[i].content) {
                ASSERT_TRUE(outcome.read->HasValue()) << outcome.read->Error().description;
                EXPECT_EQ(reader->Content(i, outcome.read->Value()), *cases[i].content);
            }
        }
    }
}

TEST(SmallFileReader, ReportsAFileThatCannotBeOpened) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    const auto reader = ReaderOrNothing();
    if (!reader) GTEST_SKIP() << "this system refuses batched reads";
    TempDir dir;
    const std::string secret = dir.WriteFile("secret.txt", "hello");
    ASSERT_EQ(chmod(secret.c_str(), 0), 0);
    const std::vector<const std::string*> paths = {&secret};
    std::vector<SmallFileOutcome> outcomes(1);
    reader->ReadAll(paths, outcomes);
    ASSERT_TRUE(outcomes[0].read && !outcomes[0].read->HasValue());
    EXPECT_EQ(outcomes[0].read->Error().description,
              "Cannot open \"" + secret + "\": Permission denied");
}

std::vector<std::shared_ptr<FileTestJob>> TestInPool(
    const std::vector<std::string>& paths,
    const std::shared_ptr<const ContentConditions>& matcher) {
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    for (const std::string& path : paths)
        jobs.push_back(std::make_shared<FileTestJob>(path, matcher));
    FileTestPool pool(2, {});
    pool.SubmitAll(jobs);
    for (const auto& job : jobs) {
        while (!job->Done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return jobs;
}

// A link on the local disk to a file on a share that never answers holds up
// only its own test, not the local files read in the same batch.
TEST(SmallFileReader, ALinkToAFileThatNeverAnswersHoldsUpOnlyItself) {
    if (const auto reason = testing::TestFsUnavailable()) GTEST_SKIP() << "SKIPPED: " << *reason;
    testing::TestFsOptions options;
    options.hangLookup = {"dead*"};
    TempDir dir;
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    FileTestPool pool(2, {});
    testing::ScopedTestFs share(options);
    ASSERT_EQ(symlink(share.Write("dead.txt", "hay").c_str(), dir.PathOf("link").c_str()), 0);
    jobs.push_back(std::make_shared<FileTestJob>(dir.PathOf("link"), matcher));
    for (int i = 0; i < 20; ++i) {
        jobs.push_back(
            std::make_shared<FileTestJob>(dir.WriteFile(std::to_string(i), "hay"), matcher));
    }
    pool.SubmitAll(jobs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (std::size_t i = 1; i < jobs.size(); ++i) {
        while (!jobs[i]->Done() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(jobs[i]->Done()) << jobs[i]->Path() << " was held up";
        EXPECT_EQ(jobs[i]->Outcome().Value(), Verdict::Lacks);
    }
    EXPECT_FALSE(jobs[0]->Done());
    share.End();
}

// Files whose size says 0 give their content only when read; read alone or
// among many, their verdicts are those of what they hold.
TEST(SmallFileReader, FilesUnderProcAreReadForWhatTheyHold) {
    const struct {
        std::string path;
        std::string phrase;
        Verdict verdict;
    } cases[] = {
        {"/proc/self/status", "Name:", Verdict::Contains},
        {"/proc/self/status", "no such phrase", Verdict::Lacks},
        {"/proc/cpuinfo", "processor", Verdict::Contains},
        {"/proc/version", "Linux", Verdict::Contains},
    };
    for (const auto& [path, phrase, verdict] : cases) {
        const auto matcher =
            std::make_shared<const ContentConditions>(PhraseMatcher(phrase, CaseMode::Sensitive));
        const auto own = TestFileContent(path, *matcher, [] { return true; });
        ASSERT_TRUE(own.HasValue()) << own.Error().description;
        EXPECT_EQ(own.Value(), verdict) << path << ": " << phrase;
        for (const auto& job : TestInPool(std::vector<std::string>(20, path), matcher)) {
            ASSERT_TRUE(job->Outcome().HasValue()) << job->Outcome().Error().description;
            EXPECT_EQ(job->Outcome().Value(), verdict) << path << ": " << phrase;
        }
    }
}

// Where the kernel refuses batched reads, the reader's set-up must release
// only what it acquired: a descriptor of another's, here 0, stays open.
TEST(SmallFileReader, ThePoolLeavesTheDescriptorsOfOthersOpen) {
    TempDir dir;
    const std::string held = dir.WriteFile("held.txt", "held");
    const int saved = dup(0);
    const int fd = open(held.c_str(), O_RDONLY);
    ASSERT_TRUE(saved >= 0 && fd >= 0 && dup2(fd, 0) == 0);
    close(fd);
    struct stat before {};
    ASSERT_EQ(fstat(0, &before), 0);
    std::vector<std::string> paths;
    for (int i = 0; i < 64; ++i) paths.push_back(dir.WriteFile(std::to_string(i), "hay"));
    TestInPool(paths, std::make_shared<const ContentConditions>(
                          PhraseMatcher("needle", CaseMode::Sensitive)));
    struct stat after {};
    const bool open0 = fstat(0, &after) == 0;
    dup2(saved, 0);
    close(saved);
    ASSERT_TRUE(open0) << "descriptor 0 was closed";
    EXPECT_EQ(after.st_ino, before.st_ino);
}

// The pool reads small files together when many are queued: each verdict
// must be the one the file's own test gives.
TEST(SmallFileReader, ThePoolGivesTheVerdictsOfTheFilesOwnTests) {
    TempDir dir;
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
    std::vector<std::string> paths = {dir.MakeFolder("folder"), dir.PathOf("missing"),
                                      dir.MakeFifo("pipe"),
                                      dir.WriteFile("large.txt", std::string(200000, 'a'))};
    for (int i = 0; i < 60; ++i) {
        const std::string content = i % 3 == 0   ? "hay and needle"
                                    : i % 3 == 1 ? "\x01\x02 binary start"
                                                 : "only hay";
        paths.push_back(dir.WriteFile(std::to_string(i) + ".txt", content));
    }
    const auto jobs = TestInPool(paths, matcher);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto own = TestFileContent(paths[i], *matcher, [] { return true; });
        ASSERT_TRUE(jobs[i]->Done());
        ASSERT_TRUE(own.HasValue() && jobs[i]->Outcome().HasValue())
            << paths[i] << ": "
            << (own ? jobs[i]->Outcome().Error().description : own.Error().description);
        EXPECT_EQ(jobs[i]->Outcome().Value(), own.Value()) << paths[i];
    }
}

}  // namespace
}  // namespace tarnwick

// The pool on a share, where every look-up, open and read is a round trip
// and the file system cannot tell whether data came from memory.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/file_system.h"
#include "engine/file_test_pool.h"
#include "engine/folder_walk.h"
#include "scoped_test_fs.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// A test that takes a round trip counts as waiting, and the pool keeps more
// of them in flight than the tests at once that a local disk needs, spread
// over folders, since a share may look up one name at a time in a folder.
TEST(FileTestPool, KeepsManyRoundTripsInFlightOnASlowShare) {
    // CI fails on a line that starts so.
    if (const auto reason = testing::TestFsUnavailable()) GTEST_SKIP() << "SKIPPED: " << *reason;
    testing::TestFsOptions slow;
    slow.latency = 3ms;
    const testing::ScopedTestFs share(slow);
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    for (int i = 0; i < 1200; ++i) {
        const std::string name = "folder" + std::to_string(i / 100) + "/" + std::to_string(i);
        share.Write(name, i % 2 ? "hay" : "hay and needle");
        jobs.push_back(std::make_shared<FileTestJob>(share.PathOf(name), matcher));
    }
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::set<std::string> foldersOfTheFirstTwoHundred;
    std::size_t settled = 0;
    FileTestPool pool(0, [&](const FileTestJob& job) {
        const std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
        if (job.Done() && ++settled <= 200) {
            foldersOfTheFirstTwoHundred.insert(ContainingFolder(job.Path()));
        }
    });
    pool.SubmitAll(jobs);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        while (!jobs[i]->Done()) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(jobs[i]->Outcome().HasValue()) << jobs[i]->Path();
        EXPECT_EQ(jobs[i]->Outcome().Value(), i % 2 ? Verdict::Lacks : Verdict::Contains);
    }
    const std::lock_guard lock(mutex);
    EXPECT_GT(threads.size(), 32u);
    EXPECT_GE(foldersOfTheFirstTwoHundred.size(), 6u);
    EXPECT_LE(threads.size(), pool.Ceiling());
}

// A listing that fails after its first entry fails whole: the walk leaves
// the folder out, as one it cannot list, instead of taking a part for it.
TEST(FolderWalkOnAShare, AListingThatFailsMidwayLeavesTheFolderOut) {
    if (const auto reason = testing::TestFsUnavailable()) GTEST_SKIP() << "SKIPPED: " << *reason;
    testing::TestFsOptions options;
    options.listError = {"broken*"};
    testing::ScopedTestFs share(options);
    for (const char* name : {"broken-files/a.txt", "broken-files/b.txt", "broken-folders/a/x.txt",
                             "broken-folders/b/x.txt"}) {
        share.Write(name, "x");
    }
    const std::string files = share.PathOf("broken-files");
    bool opened = false;
    const auto listed = ListFilesInFolder(files, &opened);
    ASSERT_FALSE(listed.HasValue());
    EXPECT_EQ(listed.Error().description,
              "Cannot list folder \"" + files + "\": Input/output error");
    EXPECT_TRUE(opened);
    EXPECT_TRUE(ListFiles(files, "*").empty());
    std::vector<std::string> folders = NewFolderList(share.PathOf("broken-folders"));
    CollectSubfolders(folders, true, [] {});
    EXPECT_EQ(folders.size(), 1u);

    // Inside a tree walked on several threads: neither files nor subfolders.
    for (const char* name : {"tree/a/x.txt", "tree/broken/x.txt", "tree/broken/c/x.txt"})
        share.Write(name, "x");
    std::vector<std::string> walked;
    WalkFolderTree(share.PathOf("tree"), "*", TreeJoining::AsIs,
                   [&](std::vector<std::string>&& paths) {
                       walked.insert(walked.end(), paths.begin(), paths.end());
                   },
                   {4});
    EXPECT_EQ(walked, std::vector<std::string>{share.PathOf("tree/a/x.txt")});
}

}  // namespace
}  // namespace tarnwick

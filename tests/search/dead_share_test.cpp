// The run over files on a share that is slow, fails or never answers, on the
// project's test file system.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "scoped_test_fs.h"
#include "search/search_run.h"
#include "search/search_texts.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct Failure {
    SearchStep step;
    std::string description;
};

class ShareSink final : public SearchSink {
public:
    void Lacks(const QString& path) override { lacking.push_back(path); }
    void Failed(SearchStep step, const QString& description) override {
        failures.push_back({step, description.toStdString()});
    }
    void Progress(const QString& text) override {
        if (onProgress) onProgress(text);
    }
    bool StopRequested() override { return stop; }

    std::vector<QString> lacking;
    std::vector<Failure> failures;
    bool stop = false;
    std::function<void(const QString&)> onProgress;
};

class DeadShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = testing::TestFsUnavailable()) GTEST_SKIP() << *why;
    }

    void Search(const std::vector<QString>& entries) {
        SearchRequest request{
            .entries = {.count = [&] { return static_cast<int>(entries.size()); },
                        .entryAt = [&](int position) -> std::optional<QString> {
                            if (position < 1 || position > static_cast<int>(entries.size()))
                                return std::nullopt;
                            return entries[static_cast<std::size_t>(position - 1)];
                        }},
            .conditions = [] { return PhraseConditions::Lacking(QStringLiteral("needle")); },
            .mode = CaseMode::Sensitive,
            .yield = [](YieldPoint) { QCoreApplication::processEvents(); },
        };
        SearchRun(workers, std::move(request), sink).Run();
    }

    // Runs action 300 ms after the header first names entry.
    void WhenNamed(const QString& entry, std::function<void()> action) {
        sink.onProgress = [entry, action = std::move(action),
                           named = false](const QString& text) mutable {
            if (!named && text == kSearchingEntryPrefix + entry) {
                named = true;
                QTimer::singleShot(300, action);
            }
        };
    }

    SearchWorkers workers{4};
    ShareSink sink;
};

QString Written(const testing::ScopedTestFs& share, const std::string& name) {
    return QString::fromStdString(share.Write(name, "hay"));
}

// A file or folder on a share that never answers holds up only its own
// turn, which the header names: a stop ends the run at once; the entries
// after it are tested meanwhile, so that when the share goes away only the
// dead entry fails.
TEST_F(DeadShareTest, AnEntryThatNeverAnswersHoldsUpOnlyItsTurnAndAStopLandsAtOnce) {
    // A look-up that hangs holds up every look-up in its folder, as on a
    // share: the dead entries stand in a folder of their own.
    using Names = std::vector<std::string> testing::TestFsOptions::*;
    const struct {
        const char* what;
        Names hang;
        std::string dead;
        bool folder;
        // The dead entry ends the list, so no later verdict wakes the search.
        bool last = false;
    } cases[] = {
        {"read", &testing::TestFsOptions::hangRead, "dead.txt", false},
        {"open", &testing::TestFsOptions::hangOpen, "dead.txt", false},
        {"look-up", &testing::TestFsOptions::hangLookup, "apart/dead.txt", false},
        {"folder", &testing::TestFsOptions::hangLookup, "apart/dead", true},
        {"last", &testing::TestFsOptions::hangRead, "dead.txt", false, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        testing::TestFsOptions options;
        options.*row.hang = {"dead*"};
        testing::ScopedTestFs share(options);
        std::vector<QString> before, after;
        for (int i = 0; i < 20; ++i) {
            before.push_back(Written(share, "b" + std::to_string(i)));
            after.push_back(Written(share, "z" + std::to_string(i)));
        }
        QString dead = Written(share, row.folder ? row.dead + "/inside.txt" : row.dead);
        if (row.folder) dead = QString::fromStdString(share.PathOf(row.dead));

        sink = {};
        QElapsedTimer sinceStop;
        WhenNamed(dead, [&] {
            sink.stop = true;
            sinceStop.start();
        });
        std::vector<QString> entries = before;
        entries.push_back(dead);
        if (!row.last) entries.insert(entries.end(), after.begin(), after.end());
        Search(entries);
        ASSERT_TRUE(sinceStop.isValid()) << "the header never named the dead entry";
        EXPECT_LT(sinceStop.elapsed(), 1000);
        EXPECT_THAT(sink.lacking, ElementsAreArray(before));
        EXPECT_THAT(sink.failures, IsEmpty());

        sink = {};
        WhenNamed(dead, [&] { share.End(); });
        entries = {dead};
        entries.insert(entries.end(), after.begin(), after.end());
        Search(entries);
        EXPECT_THAT(sink.lacking, ElementsAreArray(after));
        ASSERT_EQ(sink.failures.size(), 1u);
        EXPECT_THAT(sink.failures[0].description, HasSubstr(dead.toStdString()));
    }
}

// A failed read, look-up or listing is reported at the entry's line with the
// system's reason (before, a failed look-up counted as nothing there and a
// listing that failed midway as the whole folder), and the run goes on.
TEST_F(DeadShareTest, AFailedReadLookUpOrListingIsReportedWithTheSystemsReason) {
    using Names = std::vector<std::string> testing::TestFsOptions::*;
    constexpr Names kEio = &testing::TestFsOptions::eio;
    constexpr Names kLookUp = &testing::TestFsOptions::lookupError;
    const std::string eio = "broken*=" + std::to_string(EIO);
    const std::string eacces = "broken*=" + std::to_string(EACCES);
    const std::string file = "folder/broken.txt";
    const std::string ioError = "Input/output error";
    const struct {
        Names option;
        std::string name;
        std::string entry;
        SearchStep step;
        std::string action;
        std::string failing;
        std::string reason;
    } rows[] = {
        {kEio, "broken*", file, SearchStep::TestFileEntry, "read", file, ioError},
        {kEio, "broken*", "folder", SearchStep::SearchFolderEntry, "read", file, ioError},
        {kLookUp, eio, file, SearchStep::TestFileEntry, "look up", file, ioError},
        {kLookUp, eio, "folder", SearchStep::SearchFolderEntry, "look up", file, ioError},
        {kLookUp, eacces, file, SearchStep::TestFileEntry, "look up", file, "Permission denied"},
        {kLookUp, eacces, "folder", SearchStep::SearchFolderEntry, "look up", file,
         "Permission denied"},
        {&testing::TestFsOptions::listError, "folder", "folder", SearchStep::SearchFolderEntry,
         "list folder", "folder", ioError},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name + " " + row.entry);
        testing::TestFsOptions options;
        (options.*row.option).push_back(row.name);
        testing::ScopedTestFs share(options);
        Written(share, file);
        Written(share, "folder/ok.txt");
        const QString after = Written(share, "after.txt");
        sink = {};
        Search({QString::fromStdString(share.PathOf(row.entry)), after});
        ASSERT_EQ(sink.failures.size(), 1u);
        EXPECT_EQ(sink.failures[0].step, row.step);
        EXPECT_EQ(sink.failures[0].description,
                  "Cannot " + row.action + " \"" + share.PathOf(row.failing) + "\": " + row.reason);
        EXPECT_THAT(sink.lacking, ElementsAre(after));
    }
}

}  // namespace
}  // namespace tarnwick

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
            .phrase = [] { return QStringLiteral("needle"); },
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
    } cases[] = {
        {"read", &testing::TestFsOptions::hangRead, "dead.txt", false},
        {"open", &testing::TestFsOptions::hangOpen, "dead.txt", false},
        {"look-up", &testing::TestFsOptions::hangLookup, "apart/dead.txt", false},
        {"folder", &testing::TestFsOptions::hangLookup, "apart/dead", true},
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
        entries.insert(entries.end(), after.begin(), after.end());
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

TEST_F(DeadShareTest, AReadErrorIsReportedWithTheSystemsReason) {
    testing::TestFsOptions options;
    options.eio = {"broken*"};
    testing::ScopedTestFs share(options);
    const QString broken = Written(share, "folder/broken.txt");
    Written(share, "folder/ok.txt");
    const QString after = Written(share, "after.txt");
    const QString folder = QString::fromStdString(share.PathOf("folder"));
    for (const auto& [entry, step] : {std::pair{broken, SearchStep::TestFileEntry},
                                      std::pair{folder, SearchStep::SearchFolderEntry}}) {
        sink = {};
        Search({entry, after});
        ASSERT_EQ(sink.failures.size(), 1u);
        EXPECT_EQ(sink.failures[0].step, step);
        EXPECT_EQ(sink.failures[0].description,
                  "Cannot read \"" + broken.toStdString() + "\": Input/output error");
        EXPECT_THAT(sink.lacking, ElementsAre(after));
    }
}

}  // namespace
}  // namespace tarnwick

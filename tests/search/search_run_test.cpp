#include "search/search_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "corpus.h"
#include "search/read_ahead.h"
#include "search/search_texts.h"
#include "system_files.h"

// Paths and reasons show as text in failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Pair;

struct Failure {
    SearchStep step;
    QString description;
};

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << "line " << static_cast<int>(failure.step) << ": " << failure.description.toStdString();
}

// Records what a run reports; stops once stopWhen() says so.
class RecordingSink final : public SearchSink {
public:
    void Lacks(const QString& path) override { lacking.push_back(path); }
    void Failed(SearchStep step, const QString& description) override {
        failures.push_back({step, description});
        if (onFailure) onFailure();
    }
    void Progress(const QString& text) override { progress.push_back(text); }
    bool StopRequested() override { return stop || (stopWhen && stopWhen()); }
    void Tested(Verdict verdict) override { ++verdicts[verdict]; }

    std::vector<QString> lacking;
    std::map<Verdict, int> verdicts;
    std::vector<Failure> failures;
    std::vector<QString> progress;
    bool stop = false;
    std::function<bool()> stopWhen;
    std::function<void()> onFailure;
};

// Paths with the system's separators, as the run joins a folder's files.
class SearchRunTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& content) const {
        const QString path = PathOf(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
        EXPECT_EQ(file.write(content), content.size());
        return path;
    }
    QString PathOf(const QString& name) const {
        return QDir::toNativeSeparators(m_files.filePath(name));
    }
    QString Folder(const QString& name) const {
        const QString path = PathOf(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    // Searches the entries; onYield runs at every yield, with the yields
    // before entries counted from 1.
    void Search(const QString& startPhrase, CaseMode mode = CaseMode::Sensitive) {
        phrase = startPhrase;
        SearchRequest request{
            .entries = {.count = [this] { return static_cast<int>(entries.size()); },
                        .entryAt = [this](int position) -> std::optional<QString> {
                            if (position < 1 || position > static_cast<int>(entries.size()))
                                return std::nullopt;
                            return entries[static_cast<std::size_t>(position - 1)];
                        }},
            .conditions = [this] { return PhraseConditions::Lacking(phrase); },
            .mode = mode,
            .yield =
                [this](YieldPoint point) {
                    if (point == YieldPoint::BeforeEntry) ++entryTurn;
                    if (onYield) onYield(point);
                    QCoreApplication::processEvents();
                },
        };
        SearchRun run(workers, std::move(request), sink);
        m_run = &run;
        EXPECT_EQ(run.State(), RunState::Idle);
        run.Run();
        EXPECT_EQ(run.State(), RunState::Idle);
        m_run = nullptr;
    }
    RunState State() const { return m_run->State(); }

    SearchWorkers workers{4};
    RecordingSink sink;
    std::vector<QString> entries;
    QString phrase;
    int entryTurn = 0;
    std::function<void(YieldPoint)> onYield;

private:
    QTemporaryDir m_files;
    const SearchRun* m_run = nullptr;
};

TEST_F(SearchRunTest, FindingsKeepTheOrderOfTheEntriesWhateverFinishesFirst) {
    std::vector<QString> lacking;
    for (int i = 0; i < 24; ++i) {
        const bool contains = i % 4 == 1;
        QByteArray content(i % 3 == 0 ? 3 << 20 : 100, 'a');
        if (contains) content.append("needle");
        entries.push_back(Write(QStringLiteral("%1.txt").arg(i), content));
        if (!contains) lacking.push_back(entries.back());
    }
    const QString folder = Folder(QStringLiteral("folder"));
    entries.push_back(folder);
    lacking.push_back(Write(QStringLiteral("folder/a.txt"), "hay"));
    Write(QStringLiteral("folder/b.txt"), "needle");
    Write(QStringLiteral("folder/sub/c.txt"), "not searched: only files directly inside count");
    ASSERT_TRUE(test::MakeSystemFile(PathOf(QStringLiteral("folder/d.fifo"))));
    lacking.push_back(Write(QStringLiteral("folder/e.txt"), "hay"));

    Search(QStringLiteral("needle"));

    EXPECT_THAT(sink.lacking, ElementsAreArray(lacking));
    EXPECT_THAT(sink.failures, IsEmpty());
    EXPECT_THAT(sink.verdicts, ElementsAre(Pair(Verdict::NotTested, 1), Pair(Verdict::Contains, 7),
                                           Pair(Verdict::Lacks, static_cast<int>(lacking.size()))));
    EXPECT_EQ(sink.progress.front(), kSearchingEntryPrefix + entries.front());
    EXPECT_THAT(sink.progress, ::testing::Contains(kSearchingFolderPrefix + folder));
}

TEST_F(SearchRunTest, CaseModeAndSpacesDecideTheMatch) {
    // The French text is in the system's 8-bit encoding, the Greek in UTF-8.
    const QString upper =
        Write(QStringLiteral("upper.txt"), QStringLiteral("Le mot ÉCOLE est ici").toLocal8Bit());
    const QString spaced =
        Write(QStringLiteral("spaced.txt"), QStringLiteral("word école").toLocal8Bit());
    const QString greek =
        Write(QStringLiteral("greek.txt"), QStringLiteral("Le mot ΩΜΈΓΑ").toUtf8());
    entries = {upper, spaced, greek};
    const struct {
        QString phrase;
        CaseMode mode;
        std::vector<QString> lacking;
    } cases[] = {{QStringLiteral("école"), CaseMode::Sensitive, {upper, greek}},
                 {QStringLiteral("école"), CaseMode::Insensitive, {greek}},
                 {QStringLiteral(" école "), CaseMode::Insensitive, {spaced, greek}},
                 {QStringLiteral("ωμέγα"), CaseMode::Sensitive, {upper, spaced, greek}},
                 {QStringLiteral("ωμέγα"), CaseMode::Insensitive, {upper, spaced}}};
    for (const auto& [searched, mode, lacking] : cases) {
        sink.lacking.clear();
        Search(searched, mode);
        EXPECT_THAT(sink.lacking, ElementsAreArray(lacking)) << qPrintable(searched);
    }
}

// The later entries are tested ahead with the first phrase; those verdicts
// must not be used once the phrase changed.
TEST_F(SearchRunTest, ThePhraseIsReadAfreshForEveryEntry) {
    entries = {Write(QStringLiteral("1.txt"), "ALPHA"), Write(QStringLiteral("2.txt"), "alpha"),
               Write(QStringLiteral("3.txt"), "BETA"), Write(QStringLiteral("4.txt"), "beta")};
    onYield = [this](YieldPoint) {
        if (entryTurn == 2) phrase = QStringLiteral("beta");
    };
    Search(QStringLiteral("alpha"));
    EXPECT_THAT(sink.lacking, ElementsAre(entries[0], entries[1], entries[2]));
}

TEST_F(SearchRunTest, AStopIsNoticedBeforeTheNextEntryOrFileOfAFolder) {
    const QString folder = Folder(QStringLiteral("many"));
    std::vector<QString> inFolder;
    for (int i = 0; i < 50; ++i) {
        inFolder.push_back(
            Write(QStringLiteral("many/%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x"));
    }
    const QString first = Write(QStringLiteral("first.txt"), "x");
    const QString last = Write(QStringLiteral("last.txt"), "x");

    entries = {first, last};
    onYield = [this](YieldPoint) { sink.stop = entryTurn == 2; };
    Search(QStringLiteral("needle"));
    EXPECT_THAT(sink.lacking, ElementsAre(first));

    sink = {};
    entryTurn = 0;
    entries = {folder, last};
    int folderFiles = 0;
    RunState stateAfterStop = RunState::Idle;
    onYield = [&](YieldPoint point) {
        if (point == YieldPoint::BeforeFolderFile && ++folderFiles == 4) sink.stop = true;
        if (point == YieldPoint::BeforeEntry && sink.stop) stateAfterStop = State();
    };
    Search(QStringLiteral("needle"));
    EXPECT_THAT(sink.lacking, ElementsAre(inFolder[0], inFolder[1], inFolder[2]));
    EXPECT_EQ(stateAfterStop, RunState::StopRequested);
}

TEST_F(SearchRunTest, AFileBeingReadWhenTheStopComesIsLeftOut) {
    const QString small = Write(QStringLiteral("small.txt"), "abc");
    const QString large = Write(QStringLiteral("large.txt"), QByteArray(64 << 20, 'a'));
    entries = {small, large};
    // The edit makes the large file's test start at its own turn, and the
    // stop comes while it is read.
    onYield = [this](YieldPoint) {
        if (entryTurn == 2) phrase = QStringLiteral("needle!");
    };
    sink.stopWhen = [this] { return sink.progress.size() == 2; };
    Search(QStringLiteral("needle"));
    EXPECT_THAT(sink.lacking, ElementsAre(small));
    EXPECT_THAT(sink.failures, IsEmpty());
}

TEST_F(SearchRunTest, FailuresAreReportedWithTheLineOfTheirStepAndTheRunGoesOn) {
    const QString missing = PathOf(QStringLiteral("missing.txt"));
    const QString after = Write(QStringLiteral("after.txt"), "x");
    entries = {missing, QString(), after};
    Search(QStringLiteral("needle"));
    ASSERT_EQ(sink.failures.size(), 2u);
    for (std::size_t i = 0; i < sink.failures.size(); ++i) {
        EXPECT_EQ(sink.failures[i].step, SearchStep::OpenFolderEntry);
        // The entry and the system's reason.
        EXPECT_THAT(sink.failures[i].description.toStdString(),
                    MatchesRegex("Cannot open folder \".*\": .+"));
    }
    EXPECT_THAT(sink.failures[0].description.toStdString(), HasSubstr(missing.toStdString()));
    EXPECT_THAT(sink.lacking, ElementsAre(after));
}

TEST_F(SearchRunTest, AFileEntryThatCannotBeOpenedIsReportedAt136) {
    const QString entry = Write(QStringLiteral("entry.txt"), "x");
    entries = {entry};
    test::OpenRefusal refusal;
    refusal.Refuse(entry);
    Search(QStringLiteral("needle"));
    refusal.Lift();

    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].step, SearchStep::TestFileEntry);
    EXPECT_EQ(sink.failures[0].description.toStdString(),
              "Cannot open \"" + entry.toStdString() + "\": " + test::OpenRefusal::Reason());
    EXPECT_THAT(sink.lacking, IsEmpty());
}

TEST_F(SearchRunTest, AFolderFileThatCannotBeOpenedIsReportedAt140AndEndsTheFolder) {
    const QString folder = Folder(QStringLiteral("folder"));
    const QString file = Write(QStringLiteral("folder/1.txt"), "x");
    Write(QStringLiteral("folder/2.txt"), "x");
    const QString after = Write(QStringLiteral("after.txt"), "x");
    entries = {folder, after};
    test::OpenRefusal refusal;
    // Refused once the folder was listed; lifted by the report.
    onYield = [&](YieldPoint point) {
        if (point == YieldPoint::BeforeFolderFile && sink.failures.empty()) refusal.Refuse(file);
    };
    sink.onFailure = [&] { refusal.Lift(); };
    Search(QStringLiteral("needle"));

    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].step, SearchStep::SearchFolderEntry);
    EXPECT_EQ(sink.failures[0].description.toStdString(),
              "Cannot open \"" + file.toStdString() + "\": " + test::OpenRefusal::Reason());
    EXPECT_THAT(sink.lacking, ElementsAre(after));
}

TEST_F(SearchRunTest, AShortenedListIsReportedOnceAt130AndEndsTheRun) {
    entries = {Write(QStringLiteral("1.txt"), "x"), Write(QStringLiteral("2.txt"), "x"),
               Write(QStringLiteral("3.txt"), "x")};
    const QString first = entries[0];
    onYield = [this](YieldPoint) {
        if (entryTurn == 2) entries.resize(1);
    };
    Search(QStringLiteral("needle"));
    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].step, SearchStep::ReadEntry);
    EXPECT_EQ(sink.failures[0].description,
              QStringLiteral("Entry 2 is no longer in the file list, which now holds 1."));
    EXPECT_THAT(sink.lacking, ElementsAre(first));
}

std::vector<QString> Lines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    std::vector<QString> lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.isEmpty()) lines.push_back(line);
    }
    return lines;
}

// Files and folders as entries; a read-ahead with no bytes to spare, which
// leaves every folder's listing for its turn, finds the same in the same order.
TEST(SearchRunCorpus, OneWorkerAndSeveralFindExactlyTheExpectedFiles) {
    if (std::string(TARNWICK_CORPUS_SCRIPT).empty()) {
        GTEST_SKIP() << "the corpus generator runs on the build system only";
    }
    QTemporaryDir folder;
    const QString corpus = folder.filePath(QStringLiteral("corpus"));
    ASSERT_TRUE(test::MakeTinyCorpus(corpus.toStdString()));

    std::vector<QString> expected;
    for (const QString& relative : Lines(corpus + "/expected-cs.txt")) {
        expected.push_back(corpus + "/tree/" + relative);
    }
    std::sort(expected.begin(), expected.end());
    const struct {
        unsigned workers;
        std::int64_t bytesAhead;
    } pools[] = {{1, SearchWorkers::kBytesAhead}, {4, SearchWorkers::kBytesAhead}, {4, 1}};
    std::map<std::string, std::vector<QString>> firstFound;
    for (const auto& pool : pools) {
        for (const std::string list : {"files.txt", "dirs.txt"}) {
            SearchWorkers workers(pool.workers, pool.bytesAhead);
            RecordingSink sink;
            const std::vector<QString> entries = Lines(corpus + "/" + QString::fromStdString(list));
            SearchRun(
                workers,
                {.entries = {.count = [&] { return static_cast<int>(entries.size()); },
                             .entryAt = [&](int position) -> std::optional<QString> {
                                 return entries[static_cast<std::size_t>(position - 1)];
                             }},
                 .conditions =
                     [] { return PhraseConditions::Lacking(QStringLiteral("Quarterly Revenue")); },
                 .mode = CaseMode::Sensitive,
                 .yield = [](YieldPoint) { QCoreApplication::processEvents(); }},
                sink)
                .Run();
            const auto [first, isFirst] = firstFound.try_emplace(list, sink.lacking);
            EXPECT_EQ(sink.lacking, first->second) << pool.workers << " workers, " << list;
            EXPECT_THAT(sink.failures, IsEmpty());
        }
    }
    // A folder's listing holds a link to a file, which the list of files leaves out.
    std::vector<QString> found = firstFound["files.txt"];
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
    std::vector<QString> foundInFolders = firstFound["dirs.txt"];
    std::sort(foundInFolders.begin(), foundInFolders.end());
    EXPECT_TRUE(std::includes(foundInFolders.begin(), foundInFolders.end(), expected.begin(),
                              expected.end()));
}

}  // namespace
}  // namespace tarnwick

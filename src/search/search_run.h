#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "search/read_ahead.h"

namespace tarnwick {

// Line numbers that the error report gives for the step that failed.
enum class SearchStep {
    ReadEntry = 130,
    TestFileEntry = 136,
    OpenFolderEntry = 138,
    SearchFolderEntry = 140,
};

enum class RunState { Idle, Running, StopRequested };

// Where a run yields to the event loop: before each entry's turn, and before
// each file of a folder entry.
enum class YieldPoint { BeforeEntry, BeforeFolderFile };

// The entries a run searches, addressed by position from 1; entryAt gives
// nothing for a position past the end of a list shortened meanwhile.
struct EntrySource {
    std::function<int()> count;
    std::function<std::optional<QString>(int position)> entryAt;
};

// The phrases a listed file lacks and those it holds, as the user gave them.
struct PhraseConditions {
    std::vector<QString> lacking;
    std::vector<QString> containing;

    // The window's search: the text files that lack phrase.
    static PhraseConditions Lacking(QString phrase) { return {{std::move(phrase)}, {}}; }
    bool operator==(const PhraseConditions&) const = default;
};

struct SearchRequest {
    EntrySource entries;
    // Read afresh for every entry.
    std::function<PhraseConditions()> conditions;
    CaseMode mode = CaseMode::Sensitive;
    std::function<void(YieldPoint)> yield;
};

// Whoever runs a search hears its findings here and answers "stop?".
class SearchSink {
public:
    // A text file that meets the conditions (the window's: lacks the
    // phrase), named as the entry or the folder listing gave it.
    virtual void Lacks(const QString& path) = 0;
    virtual void Failed(SearchStep step, const QString& description) = 0;
    virtual void Progress(const QString& text) = 0;
    // Asked at every stop test: before each entry and each file of a folder,
    // and while a file is being read.
    virtual bool StopRequested() = 0;
    // The verdict on every file of the run, listed or not: a file entry's or
    // that of a file of a folder entry. Heard before Lacks for a listed file.
    virtual void Tested(Verdict /*verdict*/) {}

protected:
    ~SearchSink() = default;
};

// One search over the entries, from the first to the count taken at its
// start. An entry that names an existing file is tested itself; any other
// entry is opened as a folder whose files are tested. Files are tested ahead
// on the workers, but every finding, failure and stop keeps the entries'
// order. Runs may nest: each is an object of its own.
class SearchRun {
public:
    SearchRun(SearchWorkers& workers, SearchRequest request, SearchSink& sink);

    void Run();
    RunState State() const { return m_state; }

private:
    bool StopNoticed();
    // false when the loop over the entries must end.
    bool SearchEntry(int position, ReadAhead& ahead);
    void SearchFolderEntry(const Expected<OpenedFolder>& folder,
                           const std::shared_ptr<const ContentConditions>& conditions);
    // Fails with the failure that ended the scan of the folder's files.
    Expected<void> SearchFolder(const OpenedFolder& folder,
                                const std::shared_ptr<const ContentConditions>& conditions);
    // The conditions as they read now; the same object while they stay the
    // same, so tests made ahead with them stay valid.
    std::shared_ptr<const ContentConditions> CurrentConditions();
    std::optional<ReadAhead::Item> EntryItem(std::size_t index) const;

    SearchWorkers& m_workers;
    SearchRequest m_request;
    SearchSink& m_sink;
    RunState m_state = RunState::Idle;
    std::shared_ptr<const ContentConditions> m_conditions;
    PhraseConditions m_phrases;
};

}  // namespace tarnwick

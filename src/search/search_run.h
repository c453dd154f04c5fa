#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "engine/content_test.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tarnwick {

class FileTestPool;
class ListView;
class ReadAhead;
class VerdictWaiter;
class WindowPointer;

// The controls of the main window that a search run reads and writes.
struct SearchControls {
    QWidget* window = nullptr;
    QLineEdit* phraseBox = nullptr;
    QCheckBox* matchCase = nullptr;
    QPushButton* startButton = nullptr;
    ListView* fileList = nullptr;
    ListView* resultList = nullptr;
    WindowPointer* pointer = nullptr;
};

// Line numbers that the error report gives for the step that failed.
enum class SearchStep {
    ReadEntry = 130,
    TestFileEntry = 136,
    OpenFolderEntry = 138,
    SearchFolderEntry = 140,
};

QString FormatErrorReport(const QString& description, SearchStep step,
                          const QString& supportAddress);

// The search over the file list, run inside the start button's click handler.
// It yields to the event loop between files and blocks, so a second click on
// the button, captioned "Stop" meanwhile, asks it to stop.
class SearchRun {
public:
    // workers: threads that test files ahead of the run; 0 gives one per core.
    SearchRun(SearchControls controls, QString supportAddress, unsigned workers = 0);
    ~SearchRun();

    void PushButton1_Click();

    bool StopRequested() const { return m_stopRequested; }

private:
    void RequestStop();
    void EndRun();
    CaseMode ReadCaseMode() const;
    void SearchEntries(CaseMode mode);
    // Starts tests of the file entries after position after; gives the last
    // position looked at.
    int PrefetchEntries(ReadAhead& ahead, int after, int count, CaseMode mode);
    // false when the loop over the entries must end.
    bool SearchEntry(int position, CaseMode mode, ReadAhead& ahead);
    // Shared so that a run nested in a yield cannot pull it from under this one.
    std::shared_ptr<const PhraseMatcher> CurrentMatcher(CaseMode mode);
    // path as shown and added to the results; encodedPath as the system takes it.
    std::optional<QString> TestFile(const QString& path, const std::string& encodedPath,
                                    const std::shared_ptr<const PhraseMatcher>& matcher,
                                    ReadAhead& ahead);
    // Adds path to the results when the verdict says it lacks the phrase;
    // gives the description of a failed test.
    std::optional<QString> TakeVerdict(const QString& path, const Expected<Verdict>& verdict);
    std::optional<QString> SearchFolder(const std::string& folder,
                                        const std::shared_ptr<const PhraseMatcher>& matcher);
    std::size_t ReadAheadDepth() const;
    bool KeepGoing();
    void ReportError(const QString& description, SearchStep step);

    SearchControls m_controls;
    QString m_supportAddress;
    bool m_stopRequested = false;
    QString m_savedCaption;
    std::shared_ptr<const PhraseMatcher> m_matcher;
    std::unique_ptr<VerdictWaiter> m_waiter;
    std::unique_ptr<FileTestPool> m_pool;
};

}  // namespace tarnwick

#pragma once

#include <QString>
#include <memory>

#include "search/search_run.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tarnwick {

class ListView;
class SearchWorkers;
class WindowPointer;

// The controls of the main window that a search reads and writes.
struct SearchControls {
    QWidget* window = nullptr;
    QLineEdit* phraseBox = nullptr;
    QCheckBox* matchCase = nullptr;
    QPushButton* startButton = nullptr;
    ListView* fileList = nullptr;
    ListView* resultList = nullptr;
    WindowPointer* pointer = nullptr;
};

QString FormatErrorReport(const QString& description, SearchStep step,
                          const QString& supportAddress);

// The Start button: a click starts a search over the file list inside the
// click handler, which yields to the event loop between files and blocks; a
// second click meanwhile, on the button then captioned "Stop", asks the
// search to stop. Findings go to the result list, progress to the file
// list's header, failures to numbered error reports.
class SearchButton final : private SearchSink {
public:
    // workers: files tested at once; 0 gives one per core, raised while the
    // tests wait for the storage.
    SearchButton(SearchControls controls, QString supportAddress, unsigned workers = 0);
    ~SearchButton();

    void PushButton1_Click();

    bool StopRequested() const { return m_stopRequested; }

private:
    void Search(CaseMode mode);
    void EndRun();
    CaseMode ReadCaseMode() const;
    void Yield(YieldPoint point);

    void Lacks(const QString& path) override;
    void Failed(SearchStep step, const QString& description) override;
    void Progress(const QString& text) override;
    bool StopRequested() override { return m_stopRequested; }

    SearchControls m_controls;
    QString m_supportAddress;
    bool m_stopRequested = false;
    QString m_savedCaption;
    std::unique_ptr<SearchWorkers> m_workers;
};

}  // namespace tarnwick

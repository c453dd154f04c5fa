#include "search/search_button.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_pointer.h"
#include "search/read_ahead.h"
#include "search/search_texts.h"

namespace tarnwick {

namespace {

bool IsBlank(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == QLatin1Char(' '); });
}

}  // namespace

QString FormatErrorReport(const QString& description, SearchStep step,
                          const QString& supportAddress) {
    return description + QStringLiteral("\r\n") + kErrorReportPlace + kErrorReportLine +
           QString::number(static_cast<int>(step)) + QStringLiteral("\r\r") + kErrorReportPlea +
           supportAddress;
}

SearchButton::SearchButton(SearchControls controls, QString supportAddress, unsigned workers)
    : m_controls(controls),
      m_supportAddress(std::move(supportAddress)),
      m_workers(std::make_unique<SearchWorkers>(workers)) {}

SearchButton::~SearchButton() = default;

void SearchButton::PushButton1_Click() {
    if (m_controls.startButton->text() == kStopCaption) {
        m_controls.startButton->setText(m_savedCaption);
        m_stopRequested = true;
        return;
    }
    if (IsBlank(m_controls.phraseBox->text())) {
        ShowMessage(m_controls.window, kNoPhraseText, kNoPhraseTitle, MessageIcon::Exclamation);
        return;
    }
    m_controls.pointer->Set(PointerState::Busy);
    m_savedCaption = m_controls.startButton->text();
    m_controls.startButton->setText(kStopCaption);
    m_stopRequested = false;
    const CaseMode mode = ReadCaseMode();
    if (m_controls.fileList->Count() == 0) {
        ShowMessage(m_controls.window, kNoEntriesText);
        EndRun();
        return;
    }
    Search(mode);
    m_controls.fileList->SetHeaderText(kFileListCaption);
    m_controls.fileList->Flush();
    m_controls.resultList->Flush();
    ShowMessage(m_controls.window, kDoneText);
    EndRun();
}

void SearchButton::Search(CaseMode mode) {
    const ListView& fileList = *m_controls.fileList;
    SearchRequest request{
        .entries = {.count = [&fileList] { return fileList.Count(); },
                    .entryAt = [&fileList](int position) { return fileList.Item(position); }},
        .conditions =
            [phraseBox = m_controls.phraseBox] {
                return PhraseConditions::Lacking(phraseBox->text());
            },
        .mode = mode,
        .yield = [this](YieldPoint point) { Yield(point); },
    };
    SearchRun(*m_workers, std::move(request), *this).Run();
}

void SearchButton::EndRun() {
    m_controls.startButton->setText(m_savedCaption);
    m_stopRequested = true;
    m_controls.pointer->Set(PointerState::Default);
}

CaseMode SearchButton::ReadCaseMode() const {
    return m_controls.matchCase->checkState() == Qt::Unchecked ? CaseMode::Insensitive
                                                               : CaseMode::Sensitive;
}

// Every entry's turn shows the wait pointer again, even if an operation
// nested in an earlier yield set another one.
void SearchButton::Yield(YieldPoint point) {
    if (point == YieldPoint::BeforeEntry) {
        m_controls.pointer->Set(PointerState::Busy);
    }
    YieldToEventLoop();
}

void SearchButton::Lacks(const QString& path) {
    m_controls.resultList->Append(path);
}

void SearchButton::Failed(SearchStep step, const QString& description) {
    ShowMessage(m_controls.window, FormatErrorReport(description, step, m_supportAddress),
                kErrorReportTitle, MessageIcon::Exclamation);
}

void SearchButton::Progress(const QString& text) {
    m_controls.fileList->SetHeaderText(text);
}

}  // namespace tarnwick

#include "search/search_run.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "engine/content_test.h"
#include "engine/file_system.h"
#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_pointer.h"
#include "search/search_texts.h"

namespace tarnwick {

namespace {

bool IsBlank(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == QLatin1Char(' '); });
}

QString Describe(const SystemError& error) {
    return QString::fromStdString(error.description);
}

}  // namespace

QString FormatErrorReport(const QString& description, SearchStep step,
                          const QString& supportAddress) {
    return description + QStringLiteral("\r\n") + kErrorReportPlace + kErrorReportLine +
           QString::number(static_cast<int>(step)) + QStringLiteral("\r\r") + kErrorReportPlea +
           supportAddress;
}

SearchRun::SearchRun(SearchControls controls, QString supportAddress)
    : m_controls(controls), m_supportAddress(std::move(supportAddress)) {}

void SearchRun::PushButton1_Click() {
    if (m_controls.startButton->text() == kStopCaption) {
        RequestStop();
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
    SearchEntries(mode);
    m_controls.fileList->SetHeaderText(kFileListCaption);
    m_controls.fileList->Flush();
    m_controls.resultList->Flush();
    ShowMessage(m_controls.window, kDoneText);
    EndRun();
}

void SearchRun::RequestStop() {
    m_controls.startButton->setText(m_savedCaption);
    m_stopRequested = true;
}

void SearchRun::EndRun() {
    m_controls.startButton->setText(m_savedCaption);
    m_stopRequested = true;
    m_matcher.reset();
    m_controls.pointer->Set(PointerState::Default);
}

CaseMode SearchRun::ReadCaseMode() const {
    return m_controls.matchCase->checkState() == Qt::Unchecked ? CaseMode::Insensitive
                                                               : CaseMode::Sensitive;
}

void SearchRun::SearchEntries(CaseMode mode) {
    const int count = m_controls.fileList->Count();
    for (int position = 1; position <= count; ++position) {
        m_controls.pointer->Set(PointerState::Busy);
        YieldToEventLoop();
        if (m_stopRequested || !SearchEntry(position, mode)) {
            return;
        }
    }
}

bool SearchRun::SearchEntry(int position, CaseMode mode) {
    const std::optional<QString> entry = m_controls.fileList->Item(position);
    if (!entry) {
        // The list was shortened during the run: every later position is
        // missing too, so one report ends the loop.
        ReportError(QStringLiteral("Entry %1 is no longer in the file list, which now holds %2.")
                        .arg(position)
                        .arg(m_controls.fileList->Count()),
                    SearchStep::ReadEntry);
        return false;
    }
    const QString& path = *entry;
    m_controls.fileList->SetHeaderText(kSearchingEntryPrefix + path);
    const std::shared_ptr<const PhraseMatcher> matcher = CurrentMatcher(mode);
    if (IsExistingFile(PathToSystemEncoding(path))) {
        if (auto failure = TestFile(path, *matcher)) {
            ReportError(*failure, SearchStep::TestFileEntry);
        }
        return true;
    }
    const Expected<std::string> folder = OpenFolder(PathToSystemEncoding(path));
    if (!folder) {
        ReportError(Describe(folder.Error()), SearchStep::OpenFolderEntry);
        return true;
    }
    if (auto failure = SearchFolder(PathFromSystemEncoding(folder.Value()), *matcher)) {
        ReportError(*failure, SearchStep::SearchFolderEntry);
    }
    return true;
}

std::shared_ptr<const PhraseMatcher> SearchRun::CurrentMatcher(CaseMode mode) {
    const std::string phrase = ToSystemEncoding(m_controls.phraseBox->text());
    if (!m_matcher || m_matcher->Phrase() != phrase || m_matcher->Mode() != mode) {
        m_matcher = std::make_shared<const PhraseMatcher>(phrase, mode);
    }
    return m_matcher;
}

std::optional<QString> SearchRun::TestFile(const QString& path, const PhraseMatcher& matcher) {
    const Expected<Verdict> verdict =
        TestFileContent(PathToSystemEncoding(path), matcher, [this] { return KeepGoing(); });
    if (!verdict) {
        return Describe(verdict.Error());
    }
    if (verdict.Value() == Verdict::Lacks) {
        m_controls.resultList->Append(path);
    }
    return std::nullopt;
}

std::optional<QString> SearchRun::SearchFolder(const QString& folder,
                                               const PhraseMatcher& matcher) {
    m_controls.fileList->SetHeaderText(kSearchingFolderPrefix + folder);
    const Expected<std::vector<std::string>> files =
        ListFilesInFolder(PathToSystemEncoding(folder));
    if (!files) {
        return std::nullopt;
    }
    for (const std::string& file : files.Value()) {
        if (!KeepGoing()) {
            break;
        }
        if (auto failure = TestFile(PathFromSystemEncoding(file), matcher)) {
            return failure;
        }
    }
    return std::nullopt;
}

bool SearchRun::KeepGoing() {
    YieldToEventLoop();
    return !m_stopRequested;
}

void SearchRun::ReportError(const QString& description, SearchStep step) {
    ShowMessage(m_controls.window, FormatErrorReport(description, step, m_supportAddress),
                kErrorReportTitle, MessageIcon::Exclamation);
}

}  // namespace tarnwick

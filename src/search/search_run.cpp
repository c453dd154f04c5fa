#include "search/search_run.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "engine/content_test.h"
#include "engine/file_system.h"
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

// Files tested ahead per worker: enough to keep every worker busy while the
// run takes verdicts in order, whatever the files' sizes.
constexpr std::size_t kFilesAheadPerWorker = 32;

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

SearchRun::SearchRun(SearchControls controls, QString supportAddress, unsigned workers)
    : m_controls(controls),
      m_supportAddress(std::move(supportAddress)),
      m_waiter(std::make_unique<VerdictWaiter>()),
      m_pool(std::make_unique<FileTestPool>(
          workers,
          [waiter = m_waiter.get()](const FileTestJob& job) { waiter->JobProgressed(job); })) {}

SearchRun::~SearchRun() = default;

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
    ReadAhead ahead(*m_pool, *m_waiter, ReadAheadDepth());
    const int count = m_controls.fileList->Count();
    int prefetched = 0;
    for (int position = 1; position <= count; ++position) {
        m_controls.pointer->Set(PointerState::Busy);
        YieldToEventLoop();
        if (m_stopRequested) {
            return;
        }
        prefetched = PrefetchEntries(ahead, std::max(prefetched, position), count, mode);
        if (!SearchEntry(position, mode, ahead)) {
            return;
        }
    }
}

int SearchRun::PrefetchEntries(ReadAhead& ahead, int after, int count, CaseMode mode) {
    int position = after;
    ahead.TopUp([&]() -> std::shared_ptr<FileTestJob> {
        if (position >= count) {
            return nullptr;
        }
        const std::optional<QString> entry = m_controls.fileList->Item(++position);
        if (!entry) {
            return nullptr;
        }
        // Folders and missing paths come back as not tested, cheaply.
        return std::make_shared<FileTestJob>(PathToSystemEncoding(*entry), CurrentMatcher(mode));
    });
    return position;
}

bool SearchRun::SearchEntry(int position, CaseMode mode, ReadAhead& ahead) {
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
    const std::string encodedPath = PathToSystemEncoding(path);
    if (const std::shared_ptr<FileTestJob> testedAhead =
            ahead.TakeMatchingJob(encodedPath, *matcher)) {
        const Expected<Verdict> verdict =
            ahead.Await(*testedAhead, [this] { return m_stopRequested; });
        if (!verdict || verdict.Value() != Verdict::NotTested) {
            if (auto failure = TakeVerdict(path, verdict)) {
                ReportError(*failure, SearchStep::TestFileEntry);
            }
            return true;
        }
    }
    if (IsExistingFile(encodedPath)) {
        if (auto failure = TestFile(path, encodedPath, matcher, ahead)) {
            ReportError(*failure, SearchStep::TestFileEntry);
        }
        return true;
    }
    const Expected<std::string> folder = OpenFolder(encodedPath);
    if (!folder) {
        ReportError(Describe(folder.Error()), SearchStep::OpenFolderEntry);
        return true;
    }
    if (auto failure = SearchFolder(folder.Value(), matcher)) {
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

std::optional<QString> SearchRun::TestFile(const QString& path, const std::string& encodedPath,
                                           const std::shared_ptr<const PhraseMatcher>& matcher,
                                           ReadAhead& ahead) {
    return TakeVerdict(path,
                       ahead.VerdictFor(encodedPath, matcher, [this] { return m_stopRequested; }));
}

std::optional<QString> SearchRun::TakeVerdict(const QString& path,
                                              const Expected<Verdict>& verdict) {
    if (!verdict) {
        return Describe(verdict.Error());
    }
    if (verdict.Value() == Verdict::Lacks) {
        m_controls.resultList->Append(path);
    }
    return std::nullopt;
}

std::optional<QString> SearchRun::SearchFolder(
    const std::string& folder, const std::shared_ptr<const PhraseMatcher>& matcher) {
    m_controls.fileList->SetHeaderText(kSearchingFolderPrefix + PathFromSystemEncoding(folder));
    const Expected<std::vector<std::string>> listed = ListFilesInFolder(folder);
    if (!listed) {
        return std::nullopt;
    }
    const std::vector<std::string>& files = listed.Value();
    ReadAhead ahead(*m_pool, *m_waiter, ReadAheadDepth());
    std::size_t prefetched = 0;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!KeepGoing()) {
            break;
        }
        prefetched = std::max(prefetched, index + 1);
        ahead.TopUp([&]() -> std::shared_ptr<FileTestJob> {
            if (prefetched >= files.size()) {
                return nullptr;
            }
            return std::make_shared<FileTestJob>(files[prefetched++], matcher);
        });
        const std::string& file = files[index];
        if (auto failure = TestFile(PathFromSystemEncoding(file), file, matcher, ahead)) {
            return failure;
        }
    }
    return std::nullopt;
}

std::size_t SearchRun::ReadAheadDepth() const {
    return kFilesAheadPerWorker * m_pool->Workers();
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

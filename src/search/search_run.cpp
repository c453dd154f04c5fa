#include "search/search_run.h"

#include "platform/system.h"
#include "search/read_ahead.h"
#include "search/search_texts.h"

namespace tarnwick {

namespace {

std::vector<std::string> InSystemEncoding(const std::vector<QString>& phrases) {
    std::vector<std::string> encoded;
    for (const QString& phrase : phrases) {
        encoded.push_back(PathToSystemEncoding(phrase));
    }
    return encoded;
}

}  // namespace

SearchRun::SearchRun(SearchWorkers& workers, SearchRequest request, SearchSink& sink)
    : m_workers(workers), m_request(std::move(request)), m_sink(sink) {}

void SearchRun::Run() {
    m_state = RunState::Running;
    const int count = m_request.entries.count();
    ReadAhead ahead(
        m_workers,
        [this, count](std::size_t index) {
            return static_cast<int>(index) < count ? EntryItem(index) : std::nullopt;
        },
        FileTestJob::Subject::SearchEntry);
    for (int position = 1; position <= count; ++position) {
        m_request.yield(YieldPoint::BeforeEntry);
        if (StopNoticed() || !SearchEntry(position, ahead)) {
            break;
        }
    }
    m_state = RunState::Idle;
}

bool SearchRun::StopNoticed() {
    if (m_sink.StopRequested()) {
        m_state = RunState::StopRequested;
    }
    return m_state == RunState::StopRequested;
}

std::optional<ReadAhead::Item> SearchRun::EntryItem(std::size_t index) const {
    std::optional<QString> entry = m_request.entries.entryAt(static_cast<int>(index) + 1);
    if (!entry) {
        return std::nullopt;
    }
    std::string path = PathToSystemEncoding(*entry);
    return ReadAhead::Item{std::move(*entry), std::move(path)};
}

bool SearchRun::SearchEntry(int position, ReadAhead& ahead) {
    const std::optional<QString> entry = m_request.entries.entryAt(position);
    if (!entry) {
        // The list was shortened during the run: every later position is
        // missing too, so one report ends the loop.
        m_sink.Failed(SearchStep::ReadEntry,
                      QStringLiteral("Entry %1 is no longer in the file list, which now holds %2.")
                          .arg(position)
                          .arg(m_request.entries.count()));
        return false;
    }
    m_sink.Progress(kSearchingEntryPrefix + *entry);
    const std::shared_ptr<const ContentConditions> conditions = CurrentConditions();
    const std::shared_ptr<const FileTestJob> tested = ahead.TestedAtTurn(
        static_cast<std::size_t>(position - 1), *entry,
        [&entry] { return PathToSystemEncoding(*entry); }, conditions,
        [this] { return StopNoticed(); });
    if (!tested) {
        return true;  // stopped: the next stop test ends the loop
    }
    const Expected<Verdict>& verdict = tested->Outcome();
    if (verdict && verdict.Value() != Verdict::NotAFile) {
        m_sink.Tested(verdict.Value());
    }
    if (!verdict) {
        m_sink.Failed(SearchStep::TestFileEntry, ErrorDescription(verdict.Error()));
    } else if (verdict.Value() == Verdict::Lacks) {
        m_sink.Lacks(*entry);
    } else if (verdict.Value() == Verdict::NotAFile && tested->Folder()) {
        SearchFolderEntry(*tested->Folder(), conditions);
    }
    return true;
}

void SearchRun::SearchFolderEntry(const Expected<OpenedFolder>& folder,
                                  const std::shared_ptr<const ContentConditions>& conditions) {
    if (!folder) {
        m_sink.Failed(SearchStep::OpenFolderEntry, ErrorDescription(folder.Error()));
    } else if (const Expected<void> searched = SearchFolder(folder.Value(), conditions);
               !searched) {
        m_sink.Failed(SearchStep::SearchFolderEntry, ErrorDescription(searched.Error()));
    }
}

Expected<void> SearchRun::SearchFolder(const OpenedFolder& folder,
                                       const std::shared_ptr<const ContentConditions>& conditions) {
    m_sink.Progress(kSearchingFolderPrefix + PathFromSystemEncoding(folder.path));
    if (!folder.files) {
        return {};  // a folder that cannot be opened for listing is passed over
    }
    if (!*folder.files) {
        return folder.files->Error();  // its files read so far are not all there are
    }
    const std::vector<std::string>& files = folder.files->Value();
    // A folder's files stay as listed, so their position names them.
    ReadAhead ahead(
        m_workers,
        [&files](std::size_t index) -> std::optional<ReadAhead::Item> {
            if (index >= files.size()) return std::nullopt;
            return ReadAhead::Item{QString(), files[index]};
        },
        FileTestJob::Subject::FolderFile);
    for (std::size_t index = 0; index < files.size(); ++index) {
        m_request.yield(YieldPoint::BeforeFolderFile);
        if (StopNoticed()) {
            break;
        }
        const std::shared_ptr<const FileTestJob> tested = ahead.TestedAtTurn(
            index, QString(), [&] { return files[index]; }, conditions,
            [this] { return StopNoticed(); });
        if (!tested) {
            break;
        }
        if (!tested->Outcome()) {
            return tested->Outcome().Error();
        }
        m_sink.Tested(tested->Outcome().Value());
        if (tested->Outcome().Value() == Verdict::Lacks) {
            m_sink.Lacks(PathFromSystemEncoding(files[index]));
        }
    }
    return {};
}

std::shared_ptr<const ContentConditions> SearchRun::CurrentConditions() {
    PhraseConditions phrases = m_request.conditions();
    if (!m_conditions || phrases != m_phrases) {
        m_conditions = std::make_shared<const ContentConditions>(
            InSystemEncoding(phrases.lacking), InSystemEncoding(phrases.containing),
            m_request.mode);
        m_phrases = std::move(phrases);
    }
    return m_conditions;
}

}  // namespace tarnwick

#include "engine/file_test_job.h"

#include <array>

namespace tarnwick {

namespace {

// The folder an entry that is no file names, with its files.
Expected<OpenedFolder> OpenAndListFolder(const std::string& path) {
    Expected<std::string> folder = OpenFolder(path);
    if (!folder) {
        return folder.Error();
    }
    OpenedFolder opened{std::move(folder).Value(), std::nullopt};
    bool listingOpened = false;
    Expected<std::vector<std::string>> files = ListFilesInFolder(opened.path, &listingOpened);
    if (listingOpened) {
        opened.files = std::move(files);
    }
    return opened;
}

}  // namespace

bool FileTestJob::Failed() const {
    return !Outcome() || (m_folder && (!*m_folder || m_folder->Value().ListingFailed()));
}

void FileTestJob::Run(const std::function<void()>& onProgress) {
    if (Cancelled()) {
        Finish(Verdict::Stopped, false);
        return;
    }
    bool waitedOnStorage = false;
    Expected<Verdict> outcome = TestFileContent(
        m_path, *m_matcher,
        [&] {
            onProgress();
            return !Cancelled();
        },
        &waitedOnStorage);
    if (m_subject == Subject::SearchEntry && outcome && outcome.Value() == Verdict::NotAFile) {
        if (Cancelled()) {
            outcome = Verdict::Stopped;
        } else {
            m_folder = OpenAndListFolder(m_path);
        }
    }
    Finish(std::move(outcome), waitedOnStorage);
}

void FileTestJob::Finish(Expected<Verdict> outcome, bool waitedOnStorage) {
    m_outcome.emplace(std::move(outcome));
    m_waitedOnStorage = waitedOnStorage;
    m_done.store(true, std::memory_order_release);
}

void TestSmallFilesTogether(SmallFileReader& reader,
                            std::span<const std::shared_ptr<FileTestJob>> jobs,
                            const std::function<void(const FileTestJob&)>& settled) {
    std::vector<const std::string*> paths;
    std::vector<FileTestJob*> tested;
    for (const auto& job : jobs) {
        if (job->TriedTogether()) continue;
        job->MarkTriedTogether();
        if (job->Cancelled()) {
            job->Finish(Verdict::Stopped, false);
            settled(*job);
        } else {
            paths.push_back(&job->Path());
            tested.push_back(job.get());
        }
    }
    if (paths.empty()) return;
    std::array<SmallFileOutcome, kSmallFilesPerBatch> outcomes;
    reader.ReadAll(paths, outcomes);
    for (std::size_t i = 0; i < tested.size(); ++i) {
        const SmallFileOutcome& outcome = outcomes[i];
        FileTestJob& job = *tested[i];
        if (!outcome.lookedUp) {
            continue;
        }
        std::optional<Expected<Verdict>> verdict = VerdictWithoutReading(outcome.kind);
        if (verdict && *verdict == Verdict::NotAFile &&
            job.GetSubject() == FileTestJob::Subject::SearchEntry) {
            continue;  // a folder to open and list
        }
        if (verdict) {
            job.Finish(std::move(*verdict), false);
        } else if (!outcome.read) {
            continue;  // too large to read in one piece
        } else if (!*outcome.read) {
            job.Finish(outcome.read->Error(), outcome.waitedOnStorage);
        } else {
            job.Finish(
                VerdictOnWholeContent(reader.Content(i, outcome.read->Value()), job.Matcher()),
                outcome.waitedOnStorage);
        }
        settled(job);
    }
}

}  // namespace tarnwick

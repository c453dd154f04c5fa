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

// The bytes a string holds, with its own.
std::int64_t BytesOf(const std::string& text) {
    return static_cast<std::int64_t>(sizeof(std::string) + text.capacity());
}

}  // namespace

FileTestJob::FileTestJob(std::string path, std::shared_ptr<const ContentConditions> conditions,
                         Subject subject, std::shared_ptr<ByteAllowance> allowance)
    : m_path(std::move(path)),
      m_conditions(std::move(conditions)),
      m_subject(subject),
      m_allowance(std::move(allowance)) {
    Hold(BytesOf(m_path));
}

FileTestJob::~FileTestJob() {
    if (m_allowance) {
        m_allowance->Return(m_heldBytes);
    }
}

void FileTestJob::Hold(std::int64_t bytes) {
    if (m_allowance) {
        m_allowance->Take(bytes);
        m_heldBytes += bytes;
    }
}

bool FileTestJob::TestAgainAtTurn() const {
    return !Outcome() || m_listingLeftForTurn ||
           (m_folder && (!*m_folder || m_folder->Value().ListingFailed()));
}

void FileTestJob::ListFolder() {
    if (m_allowance && !m_allowance->Left()) {
        m_listingLeftForTurn = true;
        return;
    }
    m_folder = OpenAndListFolder(m_path);
    if (*m_folder && m_folder->Value().files && *m_folder->Value().files) {
        for (const std::string& file : m_folder->Value().files->Value()) {
            Hold(BytesOf(file));
        }
    }
}

void FileTestJob::Run(const std::function<void()>& onProgress) {
    if (Cancelled()) {
        Finish(Verdict::Stopped, false);
        return;
    }
    bool waitedOnStorage = false;
    Expected<Verdict> outcome = TestFileContent(
        m_path, *m_conditions,
        [&] {
            onProgress();
            return !Cancelled();
        },
        &waitedOnStorage);
    if (m_subject == Subject::SearchEntry && outcome && outcome.Value() == Verdict::NotAFile) {
        if (Cancelled()) {
            outcome = Verdict::Stopped;
        } else {
            ListFolder();
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
    // Settled only once all are done, so that whoever waits in order for
    // them wakes once for the batch.
    std::vector<FileTestJob*> finished;
    for (const auto& job : jobs) {
        if (job->TriedTogether()) continue;
        job->MarkTriedTogether();
        if (job->Cancelled()) {
            job->Finish(Verdict::Stopped, false);
            finished.push_back(job.get());
        } else {
            paths.push_back(&job->Path());
            tested.push_back(job.get());
        }
    }
    std::array<SmallFileOutcome, kSmallFilesPerBatch> outcomes;
    if (!paths.empty()) {
        reader.ReadAll(paths, outcomes);
    }
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
                VerdictOnWholeContent(reader.Content(i, outcome.read->Value()), job.Conditions()),
                outcome.waitedOnStorage);
        }
        finished.push_back(&job);
    }
    for (const FileTestJob* job : finished) {
        settled(*job);
    }
}

}  // namespace tarnwick

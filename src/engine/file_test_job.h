#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "engine/small_files.h"

namespace tarnwick {

// A folder entry of a search, opened and listed on a worker: its path as
// shown and joined, and its files: nothing when the folder cannot be opened
// for listing, the failure when its listing failed midway.
struct OpenedFolder {
    std::string path;
    std::optional<Expected<std::vector<std::string>>> files;

    bool ListingFailed() const { return files && !*files; }
};

// The bytes that the jobs of one read-ahead may hold between them: each job
// holds its path and, for a folder entry, the folder's listing. Shared with
// the workers.
class ByteAllowance {
public:
    explicit ByteAllowance(std::int64_t bytes) : m_left(bytes) {}

    bool Left() const { return m_left.load(std::memory_order_relaxed) > 0; }
    void Take(std::int64_t bytes) { m_left.fetch_sub(bytes, std::memory_order_relaxed); }
    void Return(std::int64_t bytes) { m_left.fetch_add(bytes, std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> m_left;
};

// One file to test on a worker thread. The submitter reads outcome only
// after Done() turned true; Cancel() makes the worker stop before its next
// block, with the verdict Stopped.
class FileTestJob {
public:
    // A search entry that is no file is opened as a folder and its files are
    // listed by the same job; a folder's file is only tested.
    enum class Subject { SearchEntry, FolderFile };

    // A job made with an allowance holds its bytes from it until it ends,
    // and lists a folder only while bytes are left.
    FileTestJob(std::string path, std::shared_ptr<const ContentConditions> conditions,
                Subject subject = Subject::FolderFile,
                std::shared_ptr<ByteAllowance> allowance = nullptr);
    ~FileTestJob();
    FileTestJob(const FileTestJob&) = delete;
    FileTestJob& operator=(const FileTestJob&) = delete;

    const std::string& Path() const { return m_path; }
    const ContentConditions& Conditions() const { return *m_conditions; }
    const std::shared_ptr<const ContentConditions>& SharedConditions() const {
        return m_conditions;
    }
    Subject GetSubject() const { return m_subject; }

    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    bool Done() const { return m_done.load(std::memory_order_acquire); }
    const Expected<Verdict>& Outcome() const { return *m_outcome; }
    // Whether the test had to wait for the storage; read after Done().
    bool WaitedOnStorage() const { return m_waitedOnStorage; }
    // For a search entry whose verdict is NotAFile: the folder it names, or
    // why it cannot be opened as one; read after Done().
    const std::optional<Expected<OpenedFolder>>& Folder() const { return m_folder; }
    // Whether the test must be made again when the search comes to it: it
    // failed, which the same test made later may not, or it left a folder's
    // listing for then, for want of bytes.
    bool TestAgainAtTurn() const;

    // onProgress is called before each block of a long file.
    void Run(const std::function<void()>& onProgress);
    // Ends the job with an outcome found elsewhere.
    void Finish(Expected<Verdict> outcome, bool waitedOnStorage);

    // Whether a batch of small files already had the job, which it then left
    // to be tested alone.
    bool TriedTogether() const { return m_triedTogether; }
    void MarkTriedTogether() { m_triedTogether = true; }

private:
    void Hold(std::int64_t bytes);
    void ListFolder();

    std::string m_path;
    std::shared_ptr<const ContentConditions> m_conditions;
    Subject m_subject;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_done{false};
    std::optional<Expected<Verdict>> m_outcome;
    std::optional<Expected<OpenedFolder>> m_folder;
    bool m_waitedOnStorage = false;
    bool m_triedTogether = false;
    bool m_listingLeftForTurn = false;
    std::shared_ptr<ByteAllowance> m_allowance;
    std::int64_t m_heldBytes = 0;
};

// Tests the small files among jobs in one batch of reads and settles every
// job it can, calling settled for each; the others are marked as tried, to
// be tested alone.
void TestSmallFilesTogether(SmallFileReader& reader,
                            std::span<const std::shared_ptr<FileTestJob>> jobs,
                            const std::function<void(const FileTestJob&)>& settled);

}  // namespace tarnwick

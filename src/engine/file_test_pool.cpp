#include "engine/file_test_pool.h"

namespace tarnwick {

namespace {

// Blocks of a file read before its job counts as long running.
constexpr int kBlocksOfALongRun = 4;

}  // namespace

void FileTestJob::Run(const std::function<void(const FileTestJob&)>& onLongRun) {
    if (Cancelled()) {
        m_outcome.emplace(Verdict::Stopped);
    } else {
        int blocks = 0;
        m_outcome.emplace(TestFileContent(m_path, *m_matcher, [&] {
            if (++blocks == kBlocksOfALongRun && onLongRun) {
                onLongRun(*this);
            }
            return !Cancelled();
        }));
    }
    m_done.store(true, std::memory_order_release);
}

FileTestPool::FileTestPool(unsigned workers, ProgressCallback onProgress)
    : m_onProgress(std::move(onProgress)) {
    const unsigned count = WorkersFor(workers);
    m_threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

FileTestPool::~FileTestPool() {
    {
        const std::lock_guard lock(m_mutex);
        m_quitting = true;
        for (const auto& job : m_queue) {
            job->Cancel();
        }
    }
    m_jobWaiting.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

unsigned FileTestPool::WorkersFor(unsigned requested) {
    if (requested > 0) {
        return requested;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

void FileTestPool::SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    if (jobs.empty()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), jobs.begin(), jobs.end());
    }
    m_jobWaiting.notify_all();
}

void FileTestPool::SubmitFirst(std::shared_ptr<FileTestJob> job) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_front(std::move(job));
    }
    m_jobWaiting.notify_one();
}

std::shared_ptr<FileTestJob> FileTestPool::NextJob() {
    std::unique_lock lock(m_mutex);
    m_jobWaiting.wait(lock, [this] { return m_quitting || !m_queue.empty(); });
    if (m_queue.empty()) {
        return nullptr;
    }
    std::shared_ptr<FileTestJob> job = std::move(m_queue.front());
    m_queue.pop_front();
    return job;
}

void FileTestPool::Work() {
    while (const std::shared_ptr<FileTestJob> job = NextJob()) {
        job->Run(m_onProgress);
        if (m_onProgress) {
            m_onProgress(*job);
        }
    }
}

}  // namespace tarnwick

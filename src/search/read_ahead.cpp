#include "search/read_ahead.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <vector>

namespace tarnwick {

ReadAhead::ReadAhead(SearchWorkers& workers, ItemAt itemAt, FileTestJob::Subject subject)
    : m_workers(workers),
      m_itemAt(std::move(itemAt)),
      m_subject(subject),
      m_depth(workers.ReadAheadDepth()),
      m_allowance(std::make_shared<ByteAllowance>(workers.ReadAheadBytes())) {}

ReadAhead::~ReadAhead() {
    CancelAll();
}

void ReadAhead::CancelAll() {
    for (const AheadJob& ahead : m_window) {
        ahead.job->Cancel();
    }
}

std::shared_ptr<const FileTestJob> ReadAhead::TestedAtTurn(
    std::size_t index, const QString& text, const std::function<std::string()>& pathOf,
    const std::shared_ptr<const ContentConditions>& conditions,
    const std::function<bool()>& stopRequested) {
    std::shared_ptr<FileTestJob> job = TakeJobFor(index, text, conditions);
    TopUp(index, conditions);
    if (job && !Await(*job, stopRequested)) {
        return nullptr;
    }
    if (!job || job->TestAgainAtTurn()) {
        job = std::make_shared<FileTestJob>(pathOf(), conditions, m_subject);
        m_workers.Pool().SubmitFirst(job);
        if (!Await(*job, stopRequested)) {
            return nullptr;
        }
    }
    return job;
}

// Once half the window is taken, fills it again and queues the new tests as
// one batch: the workers are woken and the pool's lock taken once per batch.
void ReadAhead::TopUp(std::size_t after,
                      const std::shared_ptr<const ContentConditions>& conditions) {
    if (m_window.size() > m_depth / 2) {
        return;
    }
    m_nextIndex = std::max(m_nextIndex, after + 1);
    std::vector<std::shared_ptr<FileTestJob>> batch;
    while (m_window.size() < m_depth && m_allowance->Left()) {
        std::optional<Item> item = m_itemAt(m_nextIndex);
        if (!item) {
            break;
        }
        auto job = std::make_shared<FileTestJob>(std::move(item->path), conditions, m_subject,
                                                 m_allowance);
        m_window.push_back({m_nextIndex++, std::move(item->text), job});
        batch.push_back(std::move(job));
    }
    m_workers.Pool().SubmitAll(batch);
}

std::shared_ptr<FileTestJob> ReadAhead::TakeJobFor(
    std::size_t index, const QString& text,
    const std::shared_ptr<const ContentConditions>& conditions) {
    const auto later = std::find_if(m_window.begin(), m_window.end(),
                                    [&](const AheadJob& ahead) { return ahead.index > index; });
    std::shared_ptr<FileTestJob> job;
    for (auto taken = m_window.begin(); taken != later; ++taken) {
        const bool same = taken->index == index && taken->text == text &&
                          taken->job->SharedConditions() == conditions;
        if (same) {
            job = taken->job;
        } else {
            taken->job->Cancel();
        }
    }
    m_window.erase(m_window.begin(), later);
    return job;
}

// A stop is honoured at once: a test that does not end, such as a read from
// a share that does not answer, keeps its worker, never the run.
bool ReadAhead::Await(FileTestJob& job, const std::function<bool()>& stopRequested) {
    while (!job.Done() && !stopRequested()) {
        m_workers.WaitOnce(job);
    }
    if (stopRequested()) {
        job.Cancel();
        CancelAll();
        return false;
    }
    return true;
}

}  // namespace tarnwick

#include "search/read_ahead.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>

namespace tarnwick {

namespace {

bool SameSearch(const PhraseMatcher& left, const PhraseMatcher& right) {
    return left.Mode() == right.Mode() && left.Phrase() == right.Phrase();
}

}  // namespace

VerdictWaiter::VerdictWaiter() : m_dispatcher(QAbstractEventDispatcher::instance()) {}

void VerdictWaiter::JobProgressed(const FileTestJob& job) {
    // Pairs with WaitOnce: the job's end is seen there, or the waiter here.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    // A long job wakes the loop so that the verdicts before it are taken
    // and the progress shows the file being read.
    if (m_waiting.load() > 0 && (!job.Done() || m_wakeOn.load() == &job)) {
        m_dispatcher->wakeUp();
    }
}

void VerdictWaiter::WaitOnce(const FileTestJob& job, const FileTestJob& wakeOn) {
    // Named and counted as waiting before the last look at the jobs: either
    // that look sees wakeOn done, or its worker sees the waiter and wakes
    // the loop.
    const FileTestJob* const outerWakeOn = m_wakeOn.exchange(wakeOn.Done() ? &job : &wakeOn);
    ++m_waiting;
    if (!job.Done() && !m_wakeOn.load()->Done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    --m_waiting;
    m_wakeOn.store(outerWakeOn);
}

ReadAhead::~ReadAhead() {
    CancelAll();
}

void ReadAhead::CancelAll() {
    for (const auto& job : m_window) {
        job->Cancel();
    }
}

std::shared_ptr<FileTestJob> ReadAhead::TakeJobFor(const std::string& path) {
    const auto found = std::find_if(m_window.begin(), m_window.end(),
                                    [&](const auto& job) { return job->Path() == path; });
    if (found == m_window.end()) {
        return nullptr;
    }
    std::for_each(m_window.begin(), found, [](const auto& skipped) { skipped->Cancel(); });
    std::shared_ptr<FileTestJob> job = *found;
    m_window.erase(m_window.begin(), found + 1);
    return job;
}

std::shared_ptr<FileTestJob> ReadAhead::TakeMatchingJob(const std::string& path,
                                                        const PhraseMatcher& matcher) {
    std::shared_ptr<FileTestJob> job = TakeJobFor(path);
    if (job && !SameSearch(job->Matcher(), matcher)) {
        job->Cancel();
        job.reset();
    }
    return job;
}

Expected<Verdict> ReadAhead::VerdictFor(const std::string& path,
                                        const std::shared_ptr<const PhraseMatcher>& matcher,
                                        const std::function<bool()>& stopRequested) {
    std::shared_ptr<FileTestJob> job = TakeMatchingJob(path, *matcher);
    if (!job) {
        job = std::make_shared<FileTestJob>(path, matcher);
        m_pool.SubmitFirst(job);
    }
    return Await(*job, stopRequested);
}

const FileTestJob& ReadAhead::WakeOnFor(const FileTestJob& job) const {
    const std::size_t batch = std::min(m_window.size(), m_depth / 4);
    return batch == 0 ? job : *m_window[batch - 1];
}

Expected<Verdict> ReadAhead::Await(FileTestJob& job, const std::function<bool()>& stopRequested) {
    while (!job.Done()) {
        if (stopRequested()) {
            job.Cancel();
            CancelAll();
        }
        m_waiter.WaitOnce(job, WakeOnFor(job));
    }
    if (stopRequested()) {
        return Verdict::Stopped;
    }
    return job.Outcome();
}

}  // namespace tarnwick

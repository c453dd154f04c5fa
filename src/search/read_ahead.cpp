#include "search/read_ahead.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>

namespace tarnwick {

namespace {

bool SameSearch(const PhraseMatcher& left, const PhraseMatcher& right) {
    return left.Mode() == right.Mode() && left.Phrase() == right.Phrase();
}

}  // namespace

ReadAhead::~ReadAhead() {
    CancelAll();
}

void ReadAhead::CancelAll() {
    for (const auto& job : m_window) {
        job->Cancel();
    }
}

void ReadAhead::Prefetch(std::string path, std::shared_ptr<const PhraseMatcher> matcher) {
    auto job = std::make_shared<FileTestJob>(std::move(path), std::move(matcher));
    m_window.push_back(job);
    m_pool.Submit(std::move(job));
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

Expected<Verdict> ReadAhead::VerdictFor(const std::string& path,
                                        const std::shared_ptr<const PhraseMatcher>& matcher,
                                        const std::function<bool()>& stopRequested) {
    std::shared_ptr<FileTestJob> job = TakeJobFor(path);
    if (job && !SameSearch(job->Matcher(), *matcher)) {
        job->Cancel();
        job.reset();
    }
    if (!job) {
        job = std::make_shared<FileTestJob>(path, matcher);
        m_pool.SubmitFirst(job);
    }
    return Await(*job, stopRequested);
}

Expected<Verdict> ReadAhead::Await(FileTestJob& job, const std::function<bool()>& stopRequested) {
    while (!job.Done()) {
        if (stopRequested()) {
            job.Cancel();
            CancelAll();
        }
        // The pool wakes the event loop when a job is done.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (stopRequested()) {
        return Verdict::Stopped;
    }
    return job.Outcome();
}

}  // namespace tarnwick

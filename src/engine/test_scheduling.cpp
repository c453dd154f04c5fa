#include "engine/test_scheduling.h"

#include <algorithm>
#include <chrono>

namespace tarnwick {

namespace {

// Jobs after which the count of tests at once is decided again, and how many
// of them must have waited for the storage to run more at once.
constexpr unsigned kRoundJobs = 16;
constexpr unsigned kWaitedToGrow = kRoundJobs / 4;

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TestsAtOnce::TestsAtOnce(unsigned floor, unsigned ceiling)
    : m_floor(floor), m_ceiling(ceiling), m_allowed(floor) {}

// Doubles the tests at once as soon as a quarter of a round waited for the
// storage, so that a slow share is kept busy within a few round trips, and
// halves them when a whole round did not wait.
bool TestsAtOnce::Settled(bool waitedOnStorage) {
    m_waitedInRound += waitedOnStorage ? 1 : 0;
    ++m_finishedInRound;
    bool grew = false;
    if (m_waitedInRound == kWaitedToGrow) {
        grew = m_allowed < m_ceiling;
        m_allowed = std::min(m_ceiling, m_allowed * 2);
        m_finishedInRound = m_waitedInRound = 0;
    } else if (m_finishedInRound == kRoundJobs) {
        if (m_waitedInRound == 0) {
            m_allowed = std::max(m_floor, m_allowed / 2);
        }
        m_finishedInRound = m_waitedInRound = 0;
    }
    return grew;
}

void StallWatch::MarkBusy(unsigned worker) {
    m_busySince[worker].store(NowMilliseconds(), std::memory_order_relaxed);
}

void StallWatch::MarkIdle(unsigned worker) {
    m_busySince[worker].store(0, std::memory_order_relaxed);
}

unsigned StallWatch::Stalled() const {
    const std::int64_t stalledBefore = NowMilliseconds() - kStallTime.count();
    unsigned stalled = 0;
    for (const auto& since : m_busySince) {
        const std::int64_t busySince = since.load(std::memory_order_relaxed);
        stalled += busySince != 0 && busySince < stalledBefore ? 1 : 0;
    }
    return stalled;
}

bool PathsUnderTest::Take(const std::shared_ptr<FileTestJob>& job) {
    const auto [waiting, taken] = m_waiting.try_emplace(job->Path());
    if (!taken) {
        waiting->second.push_back(job);
    }
    return taken;
}

std::vector<std::shared_ptr<FileTestJob>> PathsUnderTest::Release(const std::string& path) {
    const auto waiting = m_waiting.find(path);
    std::vector<std::shared_ptr<FileTestJob>> jobs = std::move(waiting->second);
    m_waiting.erase(waiting);
    return jobs;
}

}  // namespace tarnwick

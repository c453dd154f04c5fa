#include "platform/system.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "engine/expected.h"
#include "engine/file_replacement.h"
#include "engine/file_system.h"

namespace tarnwick {

void YieldToEventLoop() {
    QCoreApplication::processEvents();
}

EventLoopWaiter::EventLoopWaiter() : m_dispatcher(QAbstractEventDispatcher::instance()) {}

// The fences pair with those in WaitOnce: either the waiter's last look at
// ready() sees what the caller made true, or this sees the waiter and wakes
// the loop.
void EventLoopWaiter::Wake() {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (m_waiting.load() > 0) {
        m_dispatcher->wakeUp();
    }
}

void EventLoopWaiter::WaitOnce(const std::function<bool()>& ready) {
    ++m_waiting;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!ready()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    --m_waiting;
}

namespace {

void RunAfterEachRoundOfEvents(const std::function<void()>& work,
                               const std::function<void()>& afterEvents) {
    std::atomic<bool> done = false;
    EventLoopWaiter waiter;
    std::thread worker([&] {
        work();
        done.store(true);
        waiter.Wake();
    });
    while (!done.load()) {
        waiter.WaitOnce([&] { return done.load(); });
        afterEvents();
    }
    worker.join();
    afterEvents();
}

}  // namespace

void RunWhileEventsFlow(const std::function<void()>& work) {
    RunAfterEachRoundOfEvents(work, [] {});
}

// Each tick ends a wait for events, after which afterEvents runs.
void RunWhileEventsFlow(const std::function<void()>& work, std::chrono::milliseconds interval,
                        const std::function<void()>& afterEvents) {
    QTimer ticks;
    ticks.start(interval);
    RunAfterEachRoundOfEvents(work, afterEvents);
}

void PauseSeconds(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(std::llround(seconds * 1000)), &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void EndProcessNow() {
    RemoveUnfinishedReplacements();
    std::fflush(nullptr);
    std::_Exit(0);
}

std::string PathToSystemEncoding(const QString& path) {
    return PathFromText(
        std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), path.size()));
}

QString PathFromSystemEncoding(std::string_view path) {
    return QString::fromStdU16String(PathToText(path));
}

QString ErrorDescription(const SystemError& error) {
    return PathFromSystemEncoding(error.description);
}

namespace {

// The bytes of the one entry of folder whose name Qt decodes as lossyName.
std::optional<std::string> EntryDecodedAs(const std::string& folder, const QString& lossyName) {
    std::optional<std::string> found;
    int matches = 0;
    const Expected<void> listed = ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
        const QByteArray name(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        if (QFile::decodeName(name) == lossyName) {
            ++matches;
            found = std::string(entry.name);
        }
    });
    // A part of the listing may hide a second match.
    return listed && matches == 1 ? found : std::nullopt;
}

// A failed look-up does not show that something is there.
bool Exists(const std::string& path) {
    const Expected<PathKind> kind = QueryPathKind(path);
    return kind && kind.Value() != PathKind::Missing;
}

}  // namespace

QString RecoverLossyPath(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter) || Exists(PathToSystemEncoding(path))) {
        return path;
    }
    const QStringList names = path.split(QLatin1Char('/'));
    std::string recovered;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0) {
            recovered += '/';
        }
        const std::string asGiven = PathToSystemEncoding(names[i]);
        if (!names[i].contains(QChar::ReplacementCharacter)) {
            recovered += asGiven;
            continue;
        }
        const std::optional<std::string> real =
            EntryDecodedAs(recovered.empty() ? std::string(".") : recovered, names[i]);
        recovered += real.value_or(asGiven);
    }
    return PathFromSystemEncoding(recovered);
}

bool PathExists(const QString& path) {
    return Exists(PathToSystemEncoding(path));
}

}  // namespace tarnwick

#pragma once

#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QAbstractEventDispatcher;

namespace tarnwick {

struct SystemError;

// Processes every pending event of the event loop, then returns.
void YieldToEventLoop();

// Lets the thread of the event loop sleep in it until another thread has
// news: any thread may call Wake(), and only a thread that waits is woken.
class EventLoopWaiter {
public:
    EventLoopWaiter();

    // From any thread, after making what ready() looks at true.
    void Wake();
    // Processes events, sleeping until one comes or Wake() is called, unless
    // ready() is true already. Waits may nest in the events they process.
    void WaitOnce(const std::function<bool()>& ready);

private:
    QAbstractEventDispatcher* m_dispatcher;
    std::atomic<int> m_waiting{0};
};

// Runs work on another thread while this thread's event loop keeps running;
// returns once work has finished. For calls that may block, such as a file
// system that does not answer: the window stays responsive meanwhile.
void RunWhileEventsFlow(const std::function<void()>& work);

// The same, for work that hands results over as it goes: afterEvents runs
// on this thread after every round of events, at least every interval, and
// once more at the end. Work that finds much need not wake this thread for
// each find.
void RunWhileEventsFlow(const std::function<void()>& work, std::chrono::milliseconds interval,
                        const std::function<void()>& afterEvents);

// The same, for work that gives a result, such as a file-system call.
template <typename Work>
auto ResultWhileEventsFlow(Work work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    RunWhileEventsFlow([&] { result.emplace(work()); });
    return std::move(*result);
}

// Waits for the given time while the event loop runs, so windows stay
// painted and responsive. Elapsed time counts, not the time of day.
void PauseSeconds(double seconds);

// Ends the process at once with exit code 0: no handler, dialog or operation
// still running gets to finish.
[[noreturn]] void EndProcessNow();

// The one crossing of text between the lists and the engine, lossless both
// ways, for paths and the phrase alike: on POSIX bytes that are not UTF-8
// travel in the text as lone surrogates; on Windows the engine's text is
// UTF-8 that also carries lone surrogates. The engine takes it from there to
// what the system and files take.
std::string PathToSystemEncoding(const QString& path);
QString PathFromSystemEncoding(std::string_view path);

// A failure's description as the window shows it; the bytes of the path it
// names cross as a path's do.
QString ErrorDescription(const SystemError& error);

// A path that Qt decoded on its own, turning each byte that is not UTF-8 into
// U+FFFD, recovered: every name holding U+FFFD is matched against the real
// entries of its folder. A name that matches no entry, or more than one,
// stays as it is.
QString RecoverLossyPath(const QString& path);

// The path of a local file URL, from the bytes its percent-encoding carries.
QString PathOfLocalUrl(const QUrl& url);

// The folder that holds the program file, without a trailing separator.
QString ProgramFolder();

// True when something is at the path, following symbolic links: a link
// that leads nowhere is missing.
bool PathExists(const QString& path);

}  // namespace tarnwick

#include "platform/system.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace tarnwick {

void YieldToEventLoop() {
    QCoreApplication::processEvents();
}

void YieldNowAndThen() {
    constexpr qint64 kMillisecondsBetweenYields = 4;
    static QElapsedTimer sinceYield;
    if (!sinceYield.isValid() || sinceYield.elapsed() >= kMillisecondsBetweenYields) {
        YieldToEventLoop();
        sinceYield.start();
    }
}

void RunWhileEventsFlow(const std::function<void()>& work) {
    std::atomic<bool> done = false;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    std::thread worker([&] {
        work();
        done.store(true);
        // After done, so a wait that missed it is woken.
        dispatcher->wakeUp();
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    worker.join();
}

void PauseSeconds(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(std::llround(seconds * 1000)), &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void EndProcessNow() {
    std::fflush(nullptr);
    std::_Exit(0);
}

std::string ToSystemEncoding(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

std::string PathToSystemEncoding(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString PathFromSystemEncoding(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

bool PathExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

}  // namespace tarnwick

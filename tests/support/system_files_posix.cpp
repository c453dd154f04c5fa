#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "system_files.h"

namespace tarnwick::test {

bool MakeSystemFile(const QString& path) {
    return mkfifo(path.toLocal8Bit().constData(), 0600) == 0;
}

QByteArray FileTextOf(const QString& text) {
    return text.toUtf8();
}

QByteArray Utf8FileTextOf(const QString& text) {
    return text.toUtf8();
}

std::string NoSuchFolderReason() {
    return std::strerror(ENOENT);
}

namespace {

template <int Signal>
void RaiseSignal() {
    raise(Signal);
    std::abort();
}

template <int Signal>
bool KilledBy(int exitStatus) {
    return ::testing::KilledBySignal(Signal)(exitStatus);
}

}  // namespace

std::vector<OutsideEnd> OutsideEnds() {
    return {{"SIGKILL", RaiseSignal<SIGKILL>, KilledBy<SIGKILL>},
            {"SIGTERM", RaiseSignal<SIGTERM>, KilledBy<SIGTERM>}};
}

SmallDisk::SmallDisk(const QString& folder) : m_folder(folder) {
    m_mounted =
        geteuid() == 0 && mount("tarnwick-test", qPrintable(folder), "tmpfs", 0, "size=64k") == 0;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) umount(qPrintable(m_folder));
}

struct OpenRefusal::Held {
    rlimit saved{};
    bool exhausted = false;
};

// With a limit of no descriptors every new one is refused, even for the
// super-user, while those open stay usable; a limit at the lowest free one
// would let an opening through once another thread closes a descriptor.
OpenRefusal::OpenRefusal() : m_held(std::make_unique<Held>()) {
    EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &m_held->saved), 0);
}

OpenRefusal::~OpenRefusal() {
    Lift();
}

void OpenRefusal::Refuse(const QString&) {
    rlimit exhausted = m_held->saved;
    exhausted.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    m_held->exhausted = true;
}

void OpenRefusal::Lift() {
    if (m_held->exhausted) {
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &m_held->saved), 0);
        m_held->exhausted = false;
    }
}

std::string OpenRefusal::Reason() {
    return std::strerror(EMFILE);
}

}  // namespace tarnwick::test

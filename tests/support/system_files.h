#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::test {

// Makes path an entry that is never read as a file: on POSIX a FIFO, on
// Windows a file with the system attribute.
bool MakeSystemFile(const QString& path);

// text in the system's 8-bit encoding, as list files and results files hold
// it when it fits: on POSIX in the locale's encoding, UTF-8; on Windows in the
// ANSI code page, where a character that the code page lacks becomes the code
// page's default character.
QByteArray FileTextOf(const QString& text);

// text as a results file holds it when it does not fit the system's 8-bit
// encoding: on POSIX UTF-8 as ever; on Windows UTF-8 behind a byte-order mark.
QByteArray Utf8FileTextOf(const QString& text);

// The system's reason for a path whose folder does not exist.
std::string NoSuchFolderReason();

// A way the system ends a process from outside: end() ends this process so
// at once, and endedSo() tells that end from the exit status in a death test.
// On POSIX SIGKILL, which nothing of the process hears, and SIGTERM, which it
// may answer; on Windows termination, the one way there is.
struct OutsideEnd {
    const char* name;
    void (*end)();
    bool (*endedSo)(int exitStatus);
};
std::vector<OutsideEnd> OutsideEnds();

// A disk of a few pages mounted on folder, where the system lets the test
// make one: a tmpfs, which only the super-user on Linux can mount.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
};

// Makes the opening of a file fail until Lift() or the end of the object:
// on POSIX by exhausting the process's descriptors, which fails every
// opening, on Windows by holding the file without sharing it.
class OpenRefusal {
public:
    OpenRefusal();
    ~OpenRefusal();
    void Refuse(const QString& path);
    void Lift();
    // The system's reason for the failed opening.
    static std::string Reason();

private:
    struct Held;
    std::unique_ptr<Held> m_held;
};

}  // namespace tarnwick::test

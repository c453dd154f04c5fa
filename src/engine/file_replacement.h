#pragma once

#include <string>
#include <string_view>

#include "engine/expected.h"

namespace tarnwick {

// Writes a file anew without putting its old content at risk: the bytes go
// to a new file beside it, which takes its place only once it is complete
// and on disk. Until Commit() succeeds the old file stays as it was, also
// when a write fails or the process ends midway. A link is followed, so the
// file it points to is replaced and the link stays. Every failure names the
// file and gives the system's reason.
//
// Where the file system allows, the new file has no name until it is
// complete, so nothing is left behind when the process ends midway. While it
// has a name (on other file systems the whole time, else only between being
// linked in and renamed), SIGTERM, SIGINT and SIGHUP remove it before they
// end the process; SIGKILL, or an exit that runs no destructor, leaves it.
// On Windows the new file has a name but is marked for deletion until it
// takes the old one's place, so the system removes it however the process
// ends.
class FileReplacement {
public:
    // Fails when path cannot be written: its folder refuses a new file, or
    // an existing file is read-only or not a regular file.
    static Expected<FileReplacement> Begin(const std::string& path);

    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&&) = delete;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    // Removes the new file unless it took the old one's place.
    ~FileReplacement();

    Expected<void> Write(std::string_view bytes);
    // Flushes the new file to disk and puts it in the old one's place.
    Expected<void> Commit();

private:
    FileReplacement(std::string path, std::string target)
        : m_path(std::move(path)), m_target(std::move(target)) {}

    Expected<void> OpenNewFile();
    Expected<void> LinkNewFile();
    // Removes the name the new file has of its own, if any.
    void RemoveNewName();
    // Called once the new file's own name became the target's.
    void ForgetNewName();

    std::string m_path;     // as the user named it, for the messages
    std::string m_target;   // the file replaced: path, or where its link points
    std::string m_newPath;  // the new file's name while it has one of its own
    int m_fd = -1;
    int m_removalSlot = -1;  // where a signal handler finds m_newPath
};

// Removes the named new files of the saves under way, for a process about to
// end at once without unwinding; safe in a signal handler.
void RemoveUnfinishedReplacements();

}  // namespace tarnwick

#pragma once

#include <memory>
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
// A new file that has a name of its own is named ".tarnwick-<process id>-<n>",
// whatever the length of the target's name.
//
// Where the file system allows, the new file has no name until it is
// complete, so nothing is left behind when the process ends midway. While it
// has a name (on other file systems the whole time, else only between being
// linked in and renamed), SIGTERM, SIGINT and SIGHUP remove it before they
// end the process; SIGKILL, or an exit that runs no destructor, leaves it.
//
// On Windows the new file is marked for deletion until just before it takes
// the old one's place, so the system removes it however the process ends
// until then. An existing file is replaced with its security, streams and
// creation time kept (as far as the user may set them); a process that ends
// in the moment between leaves the new file, which a later save into the same
// folder removes once no process of its id runs.
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
    // Flushes the new file to disk and puts it in the old one's place. On
    // POSIX the folder is flushed after that; when this fails (other than by
    // a file system that does not flush folders), the new file stands in the
    // old one's place but may not survive a power cut, and Commit() fails.
    Expected<void> Commit();

private:
    // The new file, the file it replaces and what the system needs of them:
    // each system's source defines it.
    struct NewFile;

    explicit FileReplacement(std::unique_ptr<NewFile> newFile);

    std::unique_ptr<NewFile> m_newFile;
};

// Removes the named new files of the saves under way, for a process about to
// end at once without unwinding; safe in a signal handler.
void RemoveUnfinishedReplacements();

}  // namespace tarnwick

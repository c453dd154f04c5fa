#include "filelist/add_folder.h"

#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/folder_walk.h"
#include "filelist/file_list_texts.h"
#include "platform/dialogs.h"
#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_pointer.h"

namespace tarnwick {

namespace {

// The GUI thread takes what the walk found this often: new rows reach the
// screen at the list's own slower pace anyway, and a walk that finds
// thousands of files a millisecond need not wake it for each folder.
constexpr std::chrono::milliseconds kTakeInterval{15};

// Entries found on the walk's thread, folder by folder, taken by the GUI
// thread. The walk's thread holds the lock only to hand over one folder's
// entries, and the GUI thread never waits for it: the walk's thread may be
// held off its core by the listers while it holds the lock.
class FoundEntries {
public:
    using Parts = std::vector<std::vector<QString>>;

    void Add(std::vector<QString>&& entries) {
        const std::lock_guard lock(m_mutex);
        m_parts.push_back(std::move(entries));
    }
    // Nothing while the walk's thread holds the lock.
    Parts TakeUnlessBusy() {
        const std::unique_lock lock(m_mutex, std::try_to_lock);
        return lock.owns_lock() ? std::exchange(m_parts, {}) : Parts{};
    }
    Parts Take() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_parts, {});
    }

private:
    std::mutex m_mutex;
    Parts m_parts;  // guarded by m_mutex
};

void AppendParts(ListView& list, FoundEntries::Parts&& parts) {
    for (std::vector<QString>& part : parts) {
        list.AppendAll(std::move(part));
    }
}

// Adds the files of the folder tree that match pattern, folder by folder.
void AddFolderTree(const std::string& folder, const std::string& pattern, TreeJoining joining,
                   FoundEntries& found) {
    WalkFolderTree(folder, pattern, joining, [&](std::vector<std::string>&& paths) {
        std::vector<QString> entries;
        entries.reserve(paths.size());
        for (const std::string& path : paths) {
            entries.push_back(PathFromSystemEncoding(path));
        }
        found.Add(std::move(entries));
    });
}

// Runs walk on another thread, so that a folder on a share that does not
// answer never freezes the window, and appends what it finds as it goes.
void AppendWhileWalking(ListView& list, const std::function<void(FoundEntries& found)>& walk) {
    FoundEntries found;
    RunWhileEventsFlow([&] { walk(found); }, kTakeInterval,
                       [&] { AppendParts(list, found.TakeUnlessBusy()); });
    AppendParts(list, found.Take());
}

}  // namespace

void AddAllFilesInFolder(QWidget* window, ListView& fileList, WindowPointer& pointer) {
    const QString extension = InputBox(window, kExtensionPrompt, kApplicationTitle, kAllExtensions);
    if (extension.isEmpty()) {
        return;
    }
    const QString folder = BrowseForFolder(window, kFolderBrowseTitle);
    if (folder.isEmpty()) {
        return;
    }
    pointer.Set(PointerState::Busy);
    AppendWhileWalking(fileList, [&](FoundEntries& found) {
        AddFolderTree(PathToSystemEncoding(folder),
                      ExtensionPattern(PathToSystemEncoding(extension)), TreeJoining::Repaired,
                      found);
    });
    pointer.Set(PointerState::Default);
}

void AddDroppedPaths(ListView& fileList, const QStringList& paths) {
    AppendWhileWalking(fileList, [&](FoundEntries& found) {
        for (const QString& path : paths) {
            const std::string encoded = PathToSystemEncoding(path);
            if (IsDroppedFolder(encoded)) {
                AddFolderTree(encoded, PathToSystemEncoding(kEveryFilePattern), TreeJoining::AsIs,
                              found);
            } else {
                found.Add({path});
            }
        }
    });
}

}  // namespace tarnwick

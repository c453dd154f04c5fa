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

// Entries found on the walk's thread, taken in parts by the GUI thread.
class FoundEntries {
public:
    void Add(std::vector<QString>&& entries) {
        const std::lock_guard lock(m_mutex);
        m_entries.insert(m_entries.end(), std::make_move_iterator(entries.begin()),
                         std::make_move_iterator(entries.end()));
    }
    std::vector<QString> Take() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_entries, {});
    }

private:
    std::mutex m_mutex;
    std::vector<QString> m_entries;  // guarded by m_mutex
};

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
    RunWhileEventsFlow([&] { walk(found); }, kTakeInterval, [&] { list.AppendAll(found.Take()); });
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

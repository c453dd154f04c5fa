#include "filelist/add_folder.h"

#include "engine/folder_walk.h"
#include "engine/path_text.h"
#include "filelist/file_list_texts.h"
#include "platform/dialogs.h"
#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_pointer.h"

namespace tarnwick {

namespace {

enum class Joining { Repaired, AsIs };

// Appends the files of the folder tree that match pattern, level by level,
// skipping names that start with "~". Every folder of the walk ends in a
// separator; below a drive root that separator is doubled, which only the
// repair removes.
void AddFolderTree(ListView& list, const std::string& folder, const std::string& pattern,
                   Joining joining) {
    std::vector<std::string> folders = NewFolderList(folder);
    CollectSubfolders(folders, true, YieldNowAndThen);
    for (const std::string& listed : folders) {
        YieldNowAndThen();
        for (const std::string& name : ListFiles(listed, pattern)) {
            if (name.starts_with('~')) {
                continue;
            }
            const std::string path = listed + name;
            list.Append(PathFromSystemEncoding(joining == Joining::Repaired ? RepairSeparators(path)
                                                                            : path));
        }
    }
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
    AddFolderTree(fileList, PathToSystemEncoding(folder),
                  PathToSystemEncoding(QStringLiteral("*.") + extension), Joining::Repaired);
    pointer.Set(PointerState::Default);
}

void AddDroppedPaths(ListView& fileList, const QStringList& paths) {
    for (const QString& path : paths) {
        const std::string encoded = PathToSystemEncoding(path);
        if (IsDroppedFolder(encoded)) {
            AddFolderTree(fileList, encoded, PathToSystemEncoding(kEveryFilePattern),
                          Joining::AsIs);
        } else {
            fileList.Append(path);
        }
    }
}

}  // namespace tarnwick

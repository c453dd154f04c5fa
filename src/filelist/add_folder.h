#pragma once

#include <QStringList>

class QWidget;

namespace tarnwick {

class ListView;
class WindowPointer;

// Asks for an extension and a folder, then adds every file of the folder
// tree whose name matches the extension.
void AddAllFilesInFolder(QWidget* window, ListView& fileList, WindowPointer& pointer);

// Adds dropped paths in their order: a folder by the files of its whole
// tree, anything else as it is.
void AddDroppedPaths(ListView& fileList, const QStringList& paths);

}  // namespace tarnwick

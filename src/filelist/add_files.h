#pragma once

#include <QString>

class QWidget;

namespace tarnwick {

class ListView;

// The open dialog with multiple selection; every file picked becomes an
// entry, in the order of the selection.
void AddFilesByDialog(QWidget* window, ListView& fileList);

// Explains the list file format, then loads every list file picked.
void AddFilesFromListFiles(QWidget* window, ListView& fileList);

// Appends every line of the list file at path as an entry, or says why it
// could not.
void LoadListFile(QWidget* window, ListView& list, const QString& path);

// True when path cannot be handed to the file system as it is: it does not
// survive the system's encoding, or the system refuses the name.
bool HasBadName(const QString& path);

}  // namespace tarnwick

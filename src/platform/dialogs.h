#pragma once

#include <QString>

class QWidget;

namespace tarnwick {

// A single-line input box with OK and Cancel. Cancel gives the empty text.
QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                 const QString& defaultText = QString());

// A Yes/No question without icon, Yes the default; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text, const QString& title);

// A file dialog whose filter lists description|pattern pairs separated by
// bars, as in "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|".
struct FileDialogRequest {
    QString title;
    QString filter;
};

// An open dialog with multiple selection that takes names as typed, existing
// or not. Gives the selection text: one file's full path; for several files
// of one folder, the folder and then each name; for files of several
// folders, an empty piece and then each full path; the pieces separated by
// NUL characters; empty on cancel. Every path is absolute and clean.
QString ChooseFilesToOpen(QWidget* parent, const FileDialogRequest& request);

// A save dialog that asks nothing about existing files and adds no
// extension. Gives the full path, or the empty text on cancel.
QString ChooseFileToSave(QWidget* parent, const FileDialogRequest& request);

// A folder dialog; gives the chosen folder's path, or the empty text.
QString BrowseForFolder(QWidget* parent, const QString& title);

}  // namespace tarnwick

#include "platform/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>

#include "engine/file_system.h"
#include "platform/display_text.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/system_dialogs.h"

namespace tarnwick {

namespace {

constexpr bool kNativeFileDialogs = TARNWICK_NATIVE_FILE_DIALOGS;

// Qt's "*.*" wants a dot in the name; the filters mean every file.
QString QtPatterns(const QString& patterns) {
    QStringList qtPatterns = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : qtPatterns) {
        if (pattern == QStringLiteral("*.*")) {
            pattern = QStringLiteral("*");
        }
    }
    return qtPatterns.join(QLatin1Char(' '));
}

// The descriptions are shown as written; the patterns go in a last pair of
// parentheses, which the dialog reads and hides.
QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        nameFilters.append(parts[i] + QStringLiteral(" (") + QtPatterns(parts[i + 1]) +
                           QLatin1Char(')'));
    }
    return nameFilters;
}

// Takes whatever was picked or typed, existing or not: the dialog itself
// would drop typed names that name no file as soon as one of them does.
class LenientFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // Absolute, clean paths of the names in the file name box, which lists
    // several names each in double quotes, with the bytes of names that Qt
    // could not decode recovered. The system's own dialog, and a Qt that
    // names the box otherwise, give the dialog's own selection.
    QStringList ChosenPaths() const {
        const auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = nameBox ? nameBox->text() : QString();
        QStringList paths;
        if (typed.isEmpty()) {
            paths = selectedFiles();
        } else {
            const QStringList names =
                typed.contains(QLatin1Char('"')) ? QuotedNames(typed) : QStringList{typed};
            for (const QString& name : names) {
                paths.append(QDir::cleanPath(directory().absoluteFilePath(name)));
            }
        }
        for (QString& path : paths) {
            path = RecoverLossyPath(path);
        }
        return paths;
    }

protected:
    void accept() override {
        const QStringList chosen = ChosenPaths();
        if (chosen.size() == 1 &&
            QueryPathKind(PathToSystemEncoding(chosen.first())) == PathKind::Directory) {
            QFileDialog::accept();
            return;
        }
        QDialog::accept();
    }

private:
    static QStringList QuotedNames(const QString& typed) {
        const QStringList tokens = typed.split(QLatin1Char('"'));
        QStringList names;
        for (qsizetype i = 1; i < tokens.size(); i += 2) {
            names.append(tokens[i]);
        }
        return names;
    }
};

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, !kNativeFileDialogs);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(request.filter));
}

QString FolderOf(const QString& path) {
    const qsizetype lastSeparator = path.lastIndexOf(QLatin1Char('/'));
    return lastSeparator == 0 ? QStringLiteral("/")
                              : path.first(std::max<qsizetype>(lastSeparator, 0));
}

QString NameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Files of one folder give the folder and their names; files of several
// folders stand each as its own path, after an empty folder piece.
QString SelectionText(const LenientFileDialog& dialog) {
    const QStringList files = dialog.ChosenPaths();
    if (files.size() <= 1) {
        return QDir::toNativeSeparators(files.value(0));
    }
    const QString folder = FolderOf(files.first());
    const bool oneFolder = std::all_of(files.cbegin(), files.cend(), [&](const QString& file) {
        return FolderOf(file) == folder;
    });
    QStringList pieces = {oneFolder ? folder : QString()};
    for (const QString& file : files) {
        pieces.append(oneFolder ? NameOf(file) : file);
    }
    return QDir::toNativeSeparators(pieces.join(QChar(0)));
}

}  // namespace

QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                 const QString& defaultText) {
    QInputDialog box(parent);
    box.setWindowTitle(title);
    box.setLabelText(CarriageReturnsAsLineBreaks(prompt));
    box.setTextValue(defaultText);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, ForDisplay(CarriageReturnsAsLineBreaks(text)),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString ChooseFilesToOpen(QWidget* parent, const FileDialogRequest& request) {
    if (const std::optional<QString> chosen = SystemOpenDialog(parent, request)) return *chosen;
    LenientFileDialog dialog(parent, request.title);
    Prepare(dialog, request);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return dialog.exec() == QDialog::Accepted ? SelectionText(dialog) : QString();
}

QString ChooseFileToSave(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title);
    Prepare(dialog, request);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return dialog.exec() == QDialog::Accepted
               ? QDir::toNativeSeparators(RecoverLossyPath(dialog.selectedFiles().value(0)))
               : QString();
}

QString BrowseForFolder(QWidget* parent, const QString& title) {
    QFileDialog::Options options = QFileDialog::ShowDirsOnly;
    options.setFlag(QFileDialog::DontUseNativeDialog, !kNativeFileDialogs);
    return QDir::toNativeSeparators(
        RecoverLossyPath(QFileDialog::getExistingDirectory(parent, title, QString(), options)));
}

}  // namespace tarnwick

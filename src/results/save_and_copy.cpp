#include "results/save_and_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSaveFile>

#include "engine/results_text.h"
#include "platform/dialogs.h"
#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window_pointer.h"
#include "results/results_texts.h"

namespace tarnwick {

namespace {

// Entries converted between two yields to the event loop.
constexpr std::size_t kEntriesPerYield = 4096;

// The entries in the given encoding, yielding now and then. Works on a copy
// taken before the first yield, so the list may change meanwhile.
template <typename Encode>
std::vector<std::string> EncodedSnapshot(const ListView& list, Encode encode) {
    const std::vector<QString> snapshot = list.Entries();
    std::vector<std::string> encoded;
    encoded.reserve(snapshot.size());
    for (const QString& entry : snapshot) {
        if (encoded.size() % kEntriesPerYield == 0) {
            YieldToEventLoop();
        }
        encoded.push_back(encode(entry));
    }
    return encoded;
}

// Empty when the whole text reached the file, else the system's reason.
QString WriteCompletely(const QString& path, const std::string& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        return file.errorString();
    }
    return {};
}

}  // namespace

void SaveResultsAsTextFile(QWidget* window, const ListView& results, WindowPointer& pointer) {
    const QString path = ChooseFileToSave(window, {kSaveTitle, kSaveFilter});
    if (path.isEmpty()) {
        return;
    }
    if (PathExists(path) && !AskYesNo(window, kOverwriteQuestion.arg(path), kApplicationTitle)) {
        return;
    }
    pointer.Set(PointerState::Busy);
    const std::vector<std::string> lines = EncodedSnapshot(results, ToSystemEncoding);
    const QString failure = WriteCompletely(path, RenderResultsFile(lines));
    pointer.Set(PointerState::Default);
    if (!failure.isEmpty()) {
        ShowMessage(window,
                    kCannotSave + QStringLiteral("\r\r") + path + QStringLiteral("\r\r") + failure,
                    kApplicationTitle, MessageIcon::Exclamation);
    }
}

void CopyListToClipboard(const ListView& list) {
    if (list.Count() == 0) {
        return;
    }
    const std::vector<std::string> cells =
        EncodedSnapshot(list, [](const QString& entry) { return entry.toStdString(); });
    QGuiApplication::clipboard()->setText(QString::fromStdString(RenderClipboardText(cells)));
}

void CopyResultsToClipboard(QWidget* window, const ListView& results) {
    CopyListToClipboard(results);
    ShowMessage(window, kCopiedMessage);
}

}  // namespace tarnwick

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

// The entries in parts of kEntriesPerYield, yielding to the event loop
// after each part.
template <typename UsePart>
void InParts(const std::vector<std::string>& entries, UsePart usePart) {
    const std::span<const std::string> all(entries);
    for (std::size_t first = 0; first < all.size(); first += kEntriesPerYield) {
        usePart(all.subspan(first, std::min(kEntriesPerYield, all.size() - first)));
        YieldToEventLoop();
    }
}

// Empty when every line reached the file, else the system's reason.
QString WriteLines(const QString& path, const std::vector<std::string>& lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    bool written = true;
    InParts(lines, [&](std::span<const std::string> part) {
        const std::string text = RenderResultsFile(part);
        written = written && file.write(text.data(), static_cast<qint64>(text.size())) ==
                                 static_cast<qint64>(text.size());
    });
    if (!written || !file.commit()) {
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
    const QString failure = WriteLines(path, lines);
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
    const std::size_t width = ClipboardColumnWidth(cells);
    QString text;
    InParts(cells, [&](std::span<const std::string> part) {
        text.append(QString::fromStdString(RenderClipboardLines(part, width)));
    });
    QGuiApplication::clipboard()->setText(text);
}

void CopyResultsToClipboard(QWidget* window, const ListView& results) {
    CopyListToClipboard(results);
    ShowMessage(window, kCopiedMessage);
}

}  // namespace tarnwick

#include "results/save_and_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSaveFile>
#include <memory>

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

// Hands usePart the entries of snapshot in the given encoding, a part of
// kEntriesPerYield at a time, and yields to the event loop after each part.
// The caller takes the snapshot before the first yield, so the list may
// change meanwhile.
template <typename Encode, typename UsePart>
void InEncodedParts(const QList<QString>& snapshot, Encode encode, UsePart usePart) {
    std::vector<std::string> part;
    const auto count = static_cast<std::size_t>(snapshot.size());
    part.reserve(std::min(kEntriesPerYield, count));
    for (std::size_t first = 0; first < count; first += kEntriesPerYield) {
        part.clear();
        const std::size_t end = std::min(first + kEntriesPerYield, count);
        for (std::size_t i = first; i < end; ++i) {
            part.push_back(encode(snapshot[static_cast<qsizetype>(i)]));
        }
        usePart(std::span<const std::string>(part));
        YieldToEventLoop();
    }
}

// Empty when every line reached the file, else the system's reason.
QString WriteLines(const QString& path, const QList<QString>& lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    bool written = true;
    InEncodedParts(lines, PathToSystemEncoding, [&](std::span<const std::string> part) {
        const std::string text = RenderResultsFile(part);
        written = written && file.write(text.data(), static_cast<qint64>(text.size())) ==
                                 static_cast<qint64>(text.size());
    });
    // The commit flushes the whole file to disk: the window keeps going.
    bool committed = false;
    if (written) {
        RunWhileEventsFlow([&] { committed = file.commit(); });
    }
    if (!committed) {
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
    const QList<QString> snapshot = results.Entries();
    const QString failure = WriteLines(path, snapshot);
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
    const QList<QString> snapshot = list.Entries();
    std::size_t width = 0;
    InEncodedParts(snapshot, PathToSystemEncoding, [&](std::span<const std::string> part) {
        width = std::max(width, ClipboardColumnWidth(part));
    });
    // Kept as the entries' bytes, half the size of the same text in a
    // QString; the clipboard converts it when another program asks for it.
    QByteArray text;
    // Every line is the padded entry, a TAB and CR LF.
    text.reserve(snapshot.size() * static_cast<qsizetype>(width + 3));
    InEncodedParts(snapshot, PathToSystemEncoding, [&](std::span<const std::string> part) {
        const std::string lines = RenderClipboardLines(part, width);
        text.append(lines.data(), static_cast<qsizetype>(lines.size()));
    });
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("text/plain"), text);
    QGuiApplication::clipboard()->setMimeData(mimeData.release());
}

void CopyResultsToClipboard(QWidget* window, const ListView& results) {
    CopyListToClipboard(results);
    ShowMessage(window, kCopiedMessage);
}

}  // namespace tarnwick

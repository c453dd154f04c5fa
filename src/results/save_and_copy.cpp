#include "results/save_and_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "engine/file_replacement.h"
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
// The padding blanks aside, a clipboard line adds a TAB and CR LF.
constexpr std::size_t kClipboardLineExtra = 3;
// Far beyond any real list of results, and still memory a copy may take.
constexpr std::uint64_t kClipboardSizeLimit = 512 << 20;

// Hands usePart the entries of snapshot in the given encoding, a part of
// kEntriesPerYield at a time. The caller takes the snapshot before it yields
// to the event loop, so the list may change meanwhile.
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
    }
}

// Each line is the entry's text and CR LF, in a text encoding chosen over
// all entries first; the file replaces the old one only once it is complete.
Expected<void> WriteResultsFile(const std::string& path, const QList<QString>& lines) {
    Expected<FileReplacement> file = FileReplacement::Begin(path);
    if (!file) {
        return file.Error();
    }
    ResultsFileText text;
    if (!text.Settled()) {
        InEncodedParts(lines, PathToSystemEncoding,
                       [&](std::span<const std::string> part) { text.Admit(part); });
    }
    Expected<void> written = file.Value().Write(text.Start());
    InEncodedParts(lines, PathToSystemEncoding, [&](std::span<const std::string> part) {
        if (written) {
            written = file.Value().Write(text.Render(part));
        }
    });
    if (!written) {
        return written;
    }
    return file.Value().Commit();
}

// The bytes of count padded lines, each a TAB and CR LF longer.
std::uint64_t PaddedLinesSize(qsizetype count, std::size_t width) {
    return static_cast<std::uint64_t>(count) * (width + kClipboardLineExtra);
}

}  // namespace

void SaveResultsAsTextFile(QWidget* window, const ListView& results, WindowPointer& pointer) {
    const QString path = ChooseFileToSave(window, {kSaveTitle, kSaveFilter});
    if (path.isEmpty()) {
        return;
    }
    if (ResultWhileEventsFlow([&] { return PathExists(path); }) &&
        !AskYesNo(window, kOverwriteQuestion.arg(path), kApplicationTitle)) {
        return;
    }
    pointer.Set(PointerState::Busy);
    // Every write runs beside the event loop, on a snapshot of the list: a
    // share that stops answering leaves the window responsive, and the list
    // may change meanwhile.
    const QList<QString> snapshot = results.Entries();
    const Expected<void> saved = ResultWhileEventsFlow(
        [&] { return WriteResultsFile(PathToSystemEncoding(path), snapshot); });
    pointer.Set(PointerState::Default);
    if (!saved) {
        ShowMessage(window, kCannotSave + QStringLiteral("\r\r") + ErrorDescription(saved.Error()),
                    kApplicationTitle, MessageIcon::Exclamation);
    }
}

Expected<void> CopyListToClipboard(const ListView& list) {
    if (list.Count() == 0) {
        return {};
    }
    const QList<QString> snapshot = list.Entries();
    std::size_t width = 0;
    std::uint64_t entryBytes = 0;
    InEncodedParts(snapshot, PathToSystemEncoding, [&](std::span<const std::string> part) {
        width = std::max(width, ClipboardColumnWidth(part));
        for (const std::string& entry : part) {
            entryBytes += entry.size();
        }
        YieldToEventLoop();
    });
    // One long entry pads every line to its length. Padding counts
    // characters, so the entries' bytes bound what they add beyond it.
    const std::uint64_t bound = entryBytes + PaddedLinesSize(snapshot.size(), width);
    if (bound > kClipboardSizeLimit) {
        return SystemError{EFBIG,
                           kClipboardTooLarge.arg(bound).arg(kClipboardSizeLimit).toStdString()};
    }
    // Kept as the entries' bytes, half the size of the same text in a
    // QString; the clipboard converts it when another program asks for it.
    QByteArray text;
    text.reserve(static_cast<qsizetype>(PaddedLinesSize(snapshot.size(), width)));
    InEncodedParts(snapshot, PathToSystemEncoding, [&](std::span<const std::string> part) {
        const std::string lines = RenderClipboardLines(part, width);
        text.append(lines.data(), static_cast<qsizetype>(lines.size()));
        YieldToEventLoop();
    });
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("text/plain"), text);
    QGuiApplication::clipboard()->setMimeData(mimeData.release());
    return {};
}

void CopyResultsToClipboard(QWidget* window, const ListView& results) {
    const Expected<void> copied = CopyListToClipboard(results);
    if (copied) {
        ShowMessage(window, kCopiedMessage);
    } else {
        ShowMessage(window, kCannotCopy + QStringLiteral("\r\r") + ErrorDescription(copied.Error()),
                    kApplicationTitle, MessageIcon::Exclamation);
    }
}

}  // namespace tarnwick

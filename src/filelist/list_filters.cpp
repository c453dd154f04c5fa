#include "filelist/list_filters.h"

#include <QLocale>

#include "filelist/file_list_texts.h"
#include "platform/dialogs.h"
#include "platform/list_view.h"
#include "platform/message_box.h"

namespace tarnwick {

namespace {

std::vector<int> PositionsWhere(const ListView& list, const QString& phrase, bool contains) {
    const QLocale locale = QLocale::system();
    const QString loweredPhrase = locale.toLower(phrase);
    std::vector<int> positions;
    int position = 0;
    for (const QString& entry : list.Entries()) {
        ++position;
        if (locale.toLower(entry).contains(loweredPhrase) == contains) {
            positions.push_back(position);
        }
    }
    return positions;
}

}  // namespace

void RemoveEntriesContaining(ListView& list, const QString& phrase) {
    list.RemovePositions(PositionsWhere(list, phrase, true));
}

void RemoveEntriesNotContaining(ListView& list, const QString& phrase) {
    list.RemovePositions(PositionsWhere(list, phrase, false));
}

void RemoveSelectedEntry(ListView& list) {
    if (const std::optional<int> selected = list.SelectedPosition()) {
        list.Remove(*selected);
    }
}

void FilterByPrompt(QWidget* window, ListView& list, WindowPointer& pointer, FilterKind kind,
                    PointerState endState) {
    const bool containing = kind == FilterKind::Containing;
    const QString phrase =
        InputBox(window, containing ? kRemoveContainingPrompt : kRemoveNotContainingPrompt,
                 kApplicationTitle);
    if (phrase.isEmpty()) {
        return;
    }
    pointer.Set(PointerState::Busy);
    if (containing) {
        RemoveEntriesContaining(list, phrase);
    } else {
        RemoveEntriesNotContaining(list, phrase);
    }
    pointer.Set(endState);
}

}  // namespace tarnwick

#pragma once

#include <QString>

#include "platform/window_pointer.h"

class QWidget;

namespace tarnwick {

class ListView;

// Remove every entry whose whole text does, or does not, contain phrase,
// letter case ignored. The other entries keep their order.
void RemoveEntriesContaining(ListView& list, const QString& phrase);
void RemoveEntriesNotContaining(ListView& list, const QString& phrase);

// Removes the list's selected entry; nothing happens when none is selected.
void RemoveSelectedEntry(ListView& list);

enum class FilterKind { Containing, NotContaining };

// Asks for the phrase, then filters the list with the wait pointer shown,
// ending in endState. A cancelled or empty answer changes nothing.
void FilterByPrompt(QWidget* window, ListView& list, WindowPointer& pointer, FilterKind kind,
                    PointerState endState);

}  // namespace tarnwick

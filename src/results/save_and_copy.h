#pragma once

#include "engine/expected.h"

class QWidget;

namespace tarnwick {

class ListView;
class WindowPointer;

// Writes the results, one path per line, to a file the user names; an
// existing file is replaced only after the user agreed and only once the
// new content is complete.
void SaveResultsAsTextFile(QWidget* window, const ListView& results, WindowPointer& pointer);

// Puts the list on the clipboard as blank-padded lines; an empty list
// leaves the clipboard alone. Fails, leaving the clipboard alone too, when
// the padded text would be too large to hand over.
Expected<void> CopyListToClipboard(const ListView& list);

// Copies the results and tells the user how to paste them.
void CopyResultsToClipboard(QWidget* window, const ListView& results);

}  // namespace tarnwick

#pragma once

#include <QString>
#include <optional>

#include "platform/dialogs.h"

class QWidget;

namespace tarnwick {

// The system's own open dialog with multiple selection, demanding neither an
// existing file nor an existing path: its selection text, empty on cancel.
// Nothing where the system has no dialog of its own that takes names as
// typed, and under Qt's offscreen platform, whose dialogs tests answer.
std::optional<QString> SystemOpenDialog(QWidget* parent, const FileDialogRequest& request);

}  // namespace tarnwick

#pragma once

#include <QCursor>
#include <QHash>
#include <QPointer>
#include <optional>

class QWidget;

namespace tarnwick {

enum class PointerState { Default, Arrow, Busy, Hand };

// The pointer of the main window: one state for the window and all its
// controls. Busy shows the wait pointer everywhere in the window; default
// gives every control its usual pointer back.
class WindowPointer {
public:
    explicit WindowPointer(QWidget* window);

    PointerState State() const { return m_state; }
    void Set(PointerState state);

    // The hover rule: a move over a control switches between hand and
    // default, unless a long operation keeps the wait pointer.
    void HoverOver(PointerState stateForControl);

    // The image shown in the hand state; without one the platform's pointing
    // hand is shown.
    void SetHandImage(const QCursor& image) { m_handImage = image; }

private:
    void Show(PointerState state);
    void ShowEverywhere(const QCursor& cursor);
    void RestoreUsualPointers();

    QWidget* m_window;
    PointerState m_state = PointerState::Default;
    std::optional<QCursor> m_handImage;
    QHash<QWidget*, std::optional<QCursor>> m_usualPointers;
};

}  // namespace tarnwick

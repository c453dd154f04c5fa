#include "platform/window_pointer.h"

#include <QWidget>

namespace tarnwick {

namespace {
QList<QWidget*> WindowAndControls(QWidget* window) {
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    return widgets;
}
}  // namespace

WindowPointer::WindowPointer(QWidget* window) : m_window(window) {}

void WindowPointer::Set(PointerState state) {
    if (state != m_state) {
        m_state = state;
        Show(state);
    }
}

void WindowPointer::HoverOver(PointerState stateForControl) {
    if (m_state != PointerState::Busy) {
        Set(stateForControl);
    }
}

void WindowPointer::Show(PointerState state) {
    switch (state) {
        case PointerState::Default:
            RestoreUsualPointers();
            break;
        case PointerState::Arrow:
            ShowEverywhere(QCursor(Qt::ArrowCursor));
            break;
        case PointerState::Busy:
            ShowEverywhere(QCursor(Qt::WaitCursor));
            break;
        case PointerState::Hand:
            ShowEverywhere(m_handImage.value_or(QCursor(Qt::PointingHandCursor)));
            break;
    }
}

void WindowPointer::ShowEverywhere(const QCursor& cursor) {
    for (QWidget* widget : WindowAndControls(m_window)) {
        if (!m_usualPointers.contains(widget)) {
            m_usualPointers.insert(widget, widget->testAttribute(Qt::WA_SetCursor)
                                               ? std::optional<QCursor>(widget->cursor())
                                               : std::nullopt);
        }
        widget->setCursor(cursor);
    }
}

void WindowPointer::RestoreUsualPointers() {
    for (QWidget* widget : WindowAndControls(m_window)) {
        const auto usual = m_usualPointers.constFind(widget);
        if (usual == m_usualPointers.constEnd()) {
            continue;
        }
        if (usual->has_value()) {
            widget->setCursor(**usual);
        } else {
            widget->unsetCursor();
        }
    }
}

}  // namespace tarnwick

#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace tarnwick {

// Fills the widget's background with colour. Buttons and check boxes paint
// their background in the button role, other widgets in the window role.
void SetBackground(QWidget* widget, const QColor& colour);

// The window's typeface: Arial in bold, at the given size.
QFont ArialBold(double pointSize);

}  // namespace tarnwick

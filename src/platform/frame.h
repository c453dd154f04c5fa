#pragma once

#include <QGroupBox>

namespace tarnwick {

// A frame that draws its caption in its top border line, on the frame's own
// background colour.
class Frame : public QGroupBox {
public:
    Frame(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarnwick

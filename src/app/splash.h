#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;

namespace tarnwick {

inline constexpr double kSplashSeconds = 4;

// Where the splash window's parts go for a picture of a given size, in twips.
struct SplashLayout {
    QSize window;
    QRect image;
    QRect checkBox;
    int rightLineX = 0;
    int bottomLineY = 0;
};

SplashLayout LayoutSplash(QSize pictureTwips);

// The frameless window that shows the splash picture above a white strip
// holding the "Hide this at next startup" box, framed by a one-pixel line.
class SplashWindow : public QWidget {
public:
    SplashWindow();

    void ShowPicture(const QPixmap& picture);

    QLabel* Image1 = nullptr;
    QCheckBox* Check1 = nullptr;

private:
    void Check1_Click();

    QWidget* m_frameLines = nullptr;
};

// The splash shown at start-up unless the user asked to hide it: the first
// picture of the Splash folder beside the program.
class Splash {
public:
    explicit Splash(QString programFolder, double seconds = kSplashSeconds);
    ~Splash();

    // Shows the splash for its time and hides it again; returns at once when
    // none is due.
    void SplashShow();

    // The window, once a splash was shown.
    SplashWindow* Window() const { return m_window.get(); }

private:
    QString m_programFolder;
    double m_seconds;
    std::unique_ptr<SplashWindow> m_window;
};

}  // namespace tarnwick

#include "app/startup.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QTime>
#include <QWidget>
#include <random>

#include "app/app_texts.h"
#include "platform/appearance.h"
#include "platform/open_address.h"
#include "platform/system.h"
#include "platform/window_frame.h"

namespace tarnwick {

namespace {

QPoint CentredTopLeft(const QRect& screen, QSize size) {
    return {screen.x() + (screen.width() - size.width()) / 2,
            screen.y() + (screen.height() - size.height()) / 2};
}

bool TakesSkinBackground(const QWidget* control) {
    return qobject_cast<const QGroupBox*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QRadioButton*>(control) || qobject_cast<const QLabel*>(control);
}

}  // namespace

StartupEnvironment StartupEnvironment::FromSystem() {
    return {
        .programFolder = ProgramFolder(),
        .homePage = QStringLiteral(TARNWICK_HOME_PAGE),
        .drawOneToHundred = DrawOneToHundredFromTimeOfDay,
        // Start-up goes on whether or not the page opens.
        .openUrl = [](const QString& url) { static_cast<void>(OpenAddress(url)); },
        .endProcess = EndProcessNow,
    };
}

int DrawOneToHundredFromTimeOfDay() {
    std::mt19937 generator(
        static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    std::uniform_int_distribution<int> oneToHundred(1, 100);
    return oneToHundred(generator);
}

void CenterOnScreen(QWidget* window) {
    const QRect screen = window->screen()->geometry();
    const QMargins frame = WindowFrameMargins(window);
    const QPoint frameTopLeft = CentredTopLeft(screen, window->size().grownBy(frame));
    // Placed by its inner area: the window manager puts the frame around it.
    const QRect placed(frameTopLeft + QPoint(frame.left(), frame.top()), window->size());
    window->setGeometry(placed);
    // A hidden widget gives its native window its place only when shown;
    // until then the window system knows another place, and what it reports
    // from there would be the window's place when its controls appear.
    PlaceHiddenWindow(window, placed);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const QFileInfo& picture : QDir(kIconFolder).entryInfoList(QDir::Files)) {
        icon.addFile(picture.filePath());
    }
    return icon;
}

void ApplyOptionalSkin(QWidget* window, const QString& programFolder) {
    QFile skin(programFolder + kSkinFile);
    if (!QFileInfo(skin).isFile() || !skin.open(QIODevice::ReadOnly)) {
        return;
    }
    const QColor buttonFace = window->palette().color(QPalette::Button);
    SetBackground(window, buttonFace);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (TakesSkinBackground(control)) {
            SetBackground(control, buttonFace);
        }
    }
    window->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void OpenHomePageByChance(const StartupEnvironment& environment) {
    if (environment.drawOneToHundred() == kHomePageDraw && !environment.homePage.isEmpty()) {
        environment.openUrl(environment.homePage);
    }
}

}  // namespace tarnwick

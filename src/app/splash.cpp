#include "app/splash.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSettings>

#include "app/app_texts.h"
#include "app/startup.h"
#include "platform/appearance.h"
#include "platform/system.h"
#include "platform/twips.h"

namespace tarnwick {

namespace {

constexpr int kStripTwips = 300;
constexpr int kCheckLeftTwips = 120;
constexpr int kCheckWidthTwips = 4215;
constexpr int kCheckHeightTwips = 375;
constexpr int kCheckGapTwips = 20;
constexpr int kLineInsetTwips = 10;
constexpr double kCheckPointSize = 9;
const QString kShowAgainKey = QStringLiteral("Tarnwick/ShowAgain");
const QString kSplashFolder = QDir::toNativeSeparators(QStringLiteral("/Splash/"));

QSize PixelsToTwips(QSize pixels) {
    return pixels * static_cast<int>(kTwipsPerPixel);
}

// The left and top lines lie on the window's edges, the right and bottom ones
// just inside them.
class FrameLines : public QWidget {
public:
    FrameLines(QWidget* parent, int rightX, int bottomY)
        : QWidget(parent), m_rightX(rightX), m_bottomY(bottomY) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawLine(0, 0, 0, height());
        painter.drawLine(0, 0, width(), 0);
        painter.drawLine(m_rightX, 0, m_rightX, height());
        painter.drawLine(0, m_bottomY, width(), m_bottomY);
    }

private:
    int m_rightX;
    int m_bottomY;
};

QString FirstPictureIn(const QString& folder) {
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    return files.isEmpty() ? QString() : folder + files.first();
}

// The stored choice of "Hide this at next startup".
bool SplashIsHidden() {
    // A value that is not a number counts as 0, like a missing one.
    return QSettings().value(kShowAgainKey).toString().toInt() != 0;
}

void StoreSplashHidden(bool hidden) {
    QSettings settings;
    settings.setValue(kShowAgainKey, QString::number(hidden ? 1 : 0));
    settings.sync();
}

}  // namespace

SplashLayout LayoutSplash(QSize pictureTwips) {
    const int imageHeight = pictureTwips.height() + kStripTwips;
    return {
        .window = {pictureTwips.width(), imageHeight},
        .image = {0, 0, pictureTwips.width(), imageHeight},
        .checkBox = {kCheckLeftTwips, imageHeight - kCheckHeightTwips - kCheckGapTwips,
                     kCheckWidthTwips, kCheckHeightTwips},
        .rightLineX = pictureTwips.width() - kLineInsetTwips,
        .bottomLineY = imageHeight - kLineInsetTwips,
    };
}

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Form2"));
    SetBackground(this, Qt::white);

    Image1 = new QLabel(this);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Check1 = new QCheckBox(kHideSplashCaption, this);
    Check1->setFont(ArialBold(kCheckPointSize));
    SetBackground(Check1, Qt::white);
    QObject::connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
}

void SplashWindow::ShowPicture(const QPixmap& picture) {
    const SplashLayout layout = LayoutSplash(PixelsToTwips(picture.size()));
    Image1->setPixmap(picture);
    Image1->setGeometry(TwipsToPixels(layout.image));
    setFixedSize(TwipsToPixels(layout.window.width()), TwipsToPixels(layout.window.height()));
    Check1->setGeometry(TwipsToPixels(layout.checkBox));
    delete m_frameLines;
    m_frameLines =
        new FrameLines(this, TwipsToPixels(layout.rightLineX), TwipsToPixels(layout.bottomLineY));
    m_frameLines->setGeometry(rect());
    m_frameLines->raise();
    Check1->raise();
}

void SplashWindow::Check1_Click() {
    StoreSplashHidden(Check1->isChecked());
}

Splash::Splash(QString programFolder, double seconds)
    : m_programFolder(std::move(programFolder)), m_seconds(seconds) {}

Splash::~Splash() = default;

void Splash::SplashShow() {
    if (SplashIsHidden()) {
        return;
    }
    const QString picturePath = FirstPictureIn(m_programFolder + kSplashFolder);
    if (!PathExists(picturePath)) {
        return;
    }
    const QPixmap picture(picturePath);
    if (picture.isNull()) {
        return;
    }
    if (!m_window) {
        m_window = std::make_unique<SplashWindow>();
    }
    m_window->setWindowTitle(kWindowCaption);
    m_window->ShowPicture(picture);
    CenterOnScreen(m_window.get());
    m_window->show();
    PauseSeconds(m_seconds);
    m_window->hide();
}

}  // namespace tarnwick

#include "app/splash.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QTest>

#include "gui_test_support.h"

namespace tarnwick::test {
namespace {

using ::testing::StartsWith;

constexpr double kShortSplashSeconds = 0.3;

QString StoredShowAgain() {
    return QSettings().value("Tarnwick/ShowAgain").toString();
}

class SplashTest : public ::testing::Test {
protected:
    SplashTest() { QSettings().remove("Tarnwick/ShowAgain"); }
    ~SplashTest() override { QSettings().remove("Tarnwick/ShowAgain"); }

    void WritePicture(const QString& name, QSize size) const {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        program.MakeFolder("Splash");
        ASSERT_TRUE(picture.save(program.Path() + "/Splash/" + name, "PNG"));
    }

    // Runs the splash; during() sees the window at the first pass of the
    // event loop that finds it shown, however long the machine took.
    void ShowSplash(const std::function<void(SplashWindow&)>& during = {}) {
        WhenDuringRun shown([&] { return splash.Window() && splash.Window()->isVisible(); },
                            [&] {
                                if (during) {
                                    during(*splash.Window());
                                }
                                m_sawWindow = true;
                            });
        splash.SplashShow();
    }

    bool SawWindow() {
        QCoreApplication::processEvents();
        return m_sawWindow;
    }

    TempFolder program;
    Splash splash{program.Path(), kShortSplashSeconds};
    bool m_sawWindow = false;
};

TEST(SplashLayout, SizesTheWindowToThePictureAndAStripBelowIt) {
    for (const QSize picture : {QSize(4560, 3030), QSize(6000, 450), QSize(150, 150)}) {
        const SplashLayout layout = LayoutSplash(picture);
        const int width = picture.width();
        const int height = picture.height();
        EXPECT_EQ(layout.window, QSize(width, height + 300));
        EXPECT_EQ(layout.image, QRect(0, 0, width, height + 300));
        EXPECT_EQ(layout.rightLineX, width - 10);
        EXPECT_EQ(layout.bottomLineY, height + 290);
        EXPECT_EQ(layout.checkBox, QRect(120, height - 95, 4215, 375));
    }
}

// Each test process stores its settings in a temporary folder of its own.
TEST_F(SplashTest, SettingsAreTheTestsOwnNotTheUsers) {
    EXPECT_THAT(QSettings().fileName().toStdString(),
                StartsWith(QDir::tempPath().toStdString() + "/"));
}

TEST_F(SplashTest, ShowsTheFirstPictureCentredThenHidesIt) {
    WritePicture("b.png", QSize(50, 40));
    WritePicture("A.png", QSize(300, 200));
    const PlacesAtShow atShow;
    ShowSplash([&](SplashWindow& window) {
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnwick"));
        EXPECT_EQ(window.size(), QSize(300, 220));
        EXPECT_EQ(window.Image1->geometry(), QRect(0, 0, 300, 220));
        EXPECT_EQ(window.Image1->pixmap().size(), QSize(300, 200));
        EXPECT_FALSE(window.Check1->isChecked());
        EXPECT_EQ(window.Check1->text(), QStringLiteral("Hide this at next startup"));
        EXPECT_EQ(window.Check1->geometry(), QRect(8, 194, 281, 25));
        const QRect screen = window.screen()->geometry();
        EXPECT_NEAR(window.geometry().center().x(), screen.center().x(), 1);
        // Known to the window system and to assistive technology from the start.
        EXPECT_EQ(atShow.Of(&window).nativeWindow, window.geometry());
        const QRect box = QAccessible::queryAccessibleInterface(window.Check1)->rect();
        // The part of the box that takes clicks, which each style places.
        EXPECT_TRUE(window.Check1->geometry().translated(window.pos()).contains(box));
        EXPECT_EQ(atShow.Of(window.Check1).accessible, box);
        const QImage shown = window.grab().toImage();
        EXPECT_EQ(shown.pixelColor(299, 100), QColor(Qt::black));
        EXPECT_EQ(shown.pixelColor(150, 219), QColor(Qt::black));
        EXPECT_EQ(shown.pixelColor(295, 210), QColor(Qt::white));
    });
    EXPECT_TRUE(SawWindow());
    EXPECT_FALSE(splash.Window()->isVisible());
}

TEST_F(SplashTest, TickingTheBoxStoresTheChoiceAtOnce) {
    WritePicture("a.png", QSize(300, 200));
    std::vector<QString> stored;
    ShowSplash([&](SplashWindow& window) {
        QTest::mouseClick(window.Check1, Qt::LeftButton, {}, QPoint(6, 12));
        stored.push_back(StoredShowAgain());
        QTest::mouseClick(window.Check1, Qt::LeftButton, {}, QPoint(6, 12));
        stored.push_back(StoredShowAgain());
        QTest::mouseClick(window.Check1, Qt::LeftButton, {}, QPoint(6, 12));
    });
    EXPECT_TRUE(SawWindow());
    EXPECT_THAT(stored, ::testing::ElementsAre("1", "0"));
    EXPECT_EQ(StoredShowAgain(), QStringLiteral("1"));

    Splash next(program.Path(), kShortSplashSeconds);
    next.SplashShow();
    EXPECT_EQ(next.Window(), nullptr);
}

TEST_F(SplashTest, StoredValueThatIsNotANumberStillShowsTheSplash) {
    QSettings().setValue("Tarnwick/ShowAgain", "yes please");
    WritePicture("a.png", QSize(20, 20));
    ShowSplash();
    EXPECT_TRUE(SawWindow());
}

TEST_F(SplashTest, NoPictureToShowMeansNoSplash) {
    const std::function<void(const TempFolder&)> setups[] = {
        [](const TempFolder&) {},
        [](const TempFolder& folder) { folder.MakeFolder("Splash"); },
        [](const TempFolder& folder) { folder.MakeFolder("Splash/pictures"); },
        [](const TempFolder& folder) { folder.Write("Splash/.hidden.png", "x"); },
        [](const TempFolder& folder) { folder.Write("Splash/a.png", "not a picture"); },
    };
    for (const auto& setup : setups) {
        TempFolder folder;
        setup(folder);
        Splash none(folder.Path(), kShortSplashSeconds);
        none.SplashShow();
        EXPECT_EQ(none.Window(), nullptr);
    }
}

TEST_F(SplashTest, StoredHideChoiceMeansNoSplash) {
    QSettings().setValue("Tarnwick/ShowAgain", "1");
    WritePicture("a.png", QSize(20, 20));
    splash.SplashShow();
    EXPECT_EQ(splash.Window(), nullptr);
}

}  // namespace
}  // namespace tarnwick::test

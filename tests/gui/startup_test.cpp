#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/twips.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

QColor Background(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

TEST(Startup, ShowsTheWindowReadyForAFirstSearch) {
    auto made = MakeForm();
    Form1& form = *made->form;

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnwick"));
    EXPECT_THAT(
        form.windowIcon().availableSizes(),
        UnorderedElementsAre(QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32),
                             QSize(48, 48), QSize(64, 64), QSize(128, 128), QSize(256, 256)));
    EXPECT_TRUE(form.Text1->text().isEmpty());
    EXPECT_TRUE(form.Check4->isChecked());
    EXPECT_EQ(form.PushButton1->text(), QStringLiteral("Start Searching"));
    EXPECT_EQ(form.Frame1->title(), QStringLiteral("Find files that do NOT contain this phrase"));
    EXPECT_EQ(form.Frame2->title(), QStringLiteral("Match Option"));
    EXPECT_EQ(Background(&form), QColor(Qt::white));

    const QRect screen = form.screen()->geometry();
    const QRect frame = form.frameGeometry();
    EXPECT_GT(frame.height(), form.height());
    EXPECT_NEAR(frame.left() - screen.left(), screen.right() - frame.right(), 1);
    EXPECT_NEAR(frame.top() - screen.top(), screen.bottom() - frame.bottom(), 1);
}

TEST(Startup, EachListHasOneColumnSevenThousandTwipsWide) {
    auto made = MakeForm();
    const std::pair<ListView*, QString> lists[] = {{made->form->ListView1, "File(s)"},
                                                   {made->form->ListView2, "Results"}};
    for (const auto& [list, caption] : lists) {
        EXPECT_EQ(list->model()->columnCount(), 1);
        EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), caption);
        EXPECT_EQ(list->columnWidth(0), TwipsToPixels(7000));
        EXPECT_EQ(list->Count(), 0);
    }
}

TEST(Startup, SkinFileRecoloursTheWindowFramesAndCheckBoxOnly) {
    auto made = MakeForm([&](StartupEnvironment&, const TempFolder& programFolder) {
        programFolder.Write("x/o.cjs", "QToolTip { color: rgb(1, 2, 3); }");
    });
    Form1& form = *made->form;
    const QColor buttonFace = QPalette().color(QPalette::Button);

    for (const QWidget* recoloured :
         {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Frame1),
          static_cast<QWidget*>(form.Frame2), static_cast<QWidget*>(form.Check4)}) {
        EXPECT_EQ(Background(recoloured), buttonFace) << recoloured->metaObject()->className();
    }
    for (const QWidget* keeps :
         {static_cast<QWidget*>(form.Text1), static_cast<QWidget*>(form.ListView1)}) {
        EXPECT_FALSE(keeps->testAttribute(Qt::WA_SetPalette)) << keeps->metaObject()->className();
    }
}

TEST(Startup, SkinFileIsAppliedAsTheWindowsStyleSheet) {
    const QByteArray styleSheet = "QPushButton { color: rgb(1, 2, 3); }";
    auto made = MakeForm([&](StartupEnvironment&, const TempFolder& programFolder) {
        programFolder.Write("x/o.cjs", styleSheet);
    });
    EXPECT_EQ(made->form->styleSheet(), QString::fromUtf8(styleSheet));
    EXPECT_EQ(made->form->PushButton6->palette().color(QPalette::ButtonText), QColor(1, 2, 3));
}

TEST(Startup, SkinPathThatIsAFolderLeavesTheWindowWhite) {
    auto made = MakeForm([](StartupEnvironment&, const TempFolder& programFolder) {
        programFolder.MakeFolder("x/o.cjs");
    });
    EXPECT_EQ(Background(made->form.get()), QColor(Qt::white));
    EXPECT_EQ(Background(made->form->PushButton1), QColor(Qt::white));
    EXPECT_TRUE(made->form->styleSheet().isEmpty());
}

TEST(Startup, HomePageOpensOnlyOnADrawOfSevenWithAnAddress) {
    struct Case {
        int draw;
        QString address;
        bool opens;
    };
    const Case cases[] = {{7, "https://tarnwick.example.com/", true},
                          {6, "https://tarnwick.example.com/", false},
                          {100, "https://tarnwick.example.com/", false},
                          {7, "", false}};
    for (const Case& c : cases) {
        auto made = MakeForm([&](StartupEnvironment& environment, const TempFolder&) {
            environment.drawOneToHundred = [&] { return c.draw; };
            environment.homePage = c.address;
        });
        if (c.opens) {
            EXPECT_THAT(made->openedUrls, ElementsAre(c.address)) << c.draw;
        } else {
            EXPECT_THAT(made->openedUrls, IsEmpty()) << c.draw;
        }
    }
}

TEST(Startup, WritesAScreenshotOfTheWindow) {
    auto made = MakeForm();
    made->form->ListView1->Append(QStringLiteral("/home/user/report.txt"));
    made->form->ListView1->Flush();
    const QImage shot = made->form->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(536, 619));
    EXPECT_TRUE(shot.save(QStringLiteral(TARNWICK_SCREENSHOT_PATH)));
}

}  // namespace
}  // namespace tarnwick::test

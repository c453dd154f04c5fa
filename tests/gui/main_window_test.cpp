#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <functional>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/twips.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct Placement {
    QWidget* control;
    QString caption;
    QRect twips;
    double pointSize;
};

std::vector<Placement> ControlTable(Form1& form) {
    constexpr double kButton = 11.25;
    constexpr double kOther = 9;
    return {
        {form.ListView1, "File(s)", {120, 120, 7800, 1815}, kOther},
        {form.PushButton7, "Add Files To Search", {120, 2010, 3840, 405}, kButton},
        {form.PushButton3, "Add All Files In Folder", {4080, 2010, 3840, 405}, kButton},
        {form.PushButton8, "Load List Of Files From File", {120, 2535, 3840, 405}, kButton},
        {form.PushButton9, "Clear File List", {4080, 2535, 3840, 405}, kButton},
        {form.PushButton5, "Remove Filenames Containing X", {120, 3060, 3840, 405}, kButton},
        {form.PushButton10, "Remove Filenames Not Cont. X", {4080, 3060, 3840, 405}, kButton},
        {form.Frame1, "Find files that do NOT contain this phrase", {120, 3555, 7800, 760}, kOther},
        {form.Text1, "", {240, 300, 7320, 330}, kOther},
        {form.Frame2, "Match Option", {120, 4440, 7800, 700}, kOther},
        {form.Check4, "Match Case", {240, 300, 1335, 255}, kOther},
        {form.PushButton1, "Start Searching", {120, 5280, 7800, 405}, kButton},
        {form.ListView2, "Results", {120, 5805, 7800, 1815}, kOther},
        {form.PushButton2, "Save Results As Text File", {120, 7725, 3840, 405}, kButton},
        {form.PushButton4, "Copy Results To Clipboard", {4080, 7710, 3840, 405}, kButton},
        {form.PushButton17, "Delete Results Containing X", {120, 8250, 3840, 405}, kButton},
        {form.PushButton11, "Delete Results Not Cont. X", {4080, 8250, 3840, 405}, kButton},
        {form.PushButton6, "Clear Results", {120, 8775, 7800, 405}, kButton},
    };
}

QString Caption(const QWidget* control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        return frame->title();
    }
    if (const auto* list = dynamic_cast<const ListView*>(control)) {
        return list->HeaderText();
    }
    return qobject_cast<const QLineEdit*>(control)->text();
}

QString AccessibleName(const QWidget* control) {
    return QAccessible::queryAccessibleInterface(const_cast<QWidget*>(control))
        ->text(QAccessible::Name);
}

QString AccessibleColumnHeader(ListView* list) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list);
    for (int i = 0; i < table->childCount(); ++i) {
        QAccessibleInterface* cell = table->child(i);
        if (cell->role() == QAccessible::ColumnHeader) {
            return cell->text(QAccessible::Name);
        }
    }
    return {};
}

void MoveOver(QWidget* widget) {
    const QPointF inside(2, 2);
    QMouseEvent move(QEvent::MouseMove, inside, widget->mapToGlobal(inside), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

class MainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<FormUnderTest> m_made = MakeForm();
    Form1& form = *m_made->form;
};

TEST_F(MainWindowTest, EveryControlHasItsPlaceCaptionAndFont) {
    EXPECT_EQ(form.size(), QSize(536, 619));
    for (const Placement& placement : ControlTable(form)) {
        const QWidget* control = placement.control;
        SCOPED_TRACE(placement.caption.toStdString());
        const QRect& twips = placement.twips;
        EXPECT_EQ(control->geometry(),
                  TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        EXPECT_EQ(Caption(control), placement.caption);
        const QString heard = control == form.Text1 ? form.Frame1->title() : placement.caption;
        EXPECT_EQ(AccessibleName(control), heard);
        EXPECT_TRUE(control->font().bold());
        EXPECT_DOUBLE_EQ(control->font().pointSizeF(), placement.pointSize);
        EXPECT_EQ(QFontInfo(control->font()).family(), QStringLiteral("Liberation Sans"));
    }
    EXPECT_EQ(form.PushButton2->y() - form.PushButton4->y(), 1);
}

TEST_F(MainWindowTest, WindowIsFixedWithAMinimizeButtonOnly) {
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, ListsSelectOneWholeRowAndNeverEdit) {
    for (const ListView* list : {form.ListView1, form.ListView2}) {
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_FALSE(list->isSortingEnabled());
        EXPECT_EQ(list->toolTip(),
                  QStringLiteral("Double-click item to remove it. Move bar to right and out of "
                                 "window to reveal full names."));
    }
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheirOrder) {
    const std::vector<QWidget*> expected = {
        form.ListView1,   form.ListView2,   form.PushButton9,  form.PushButton1,
        form.PushButton2, form.PushButton6, form.PushButton17, form.PushButton11,
        form.Text1,       form.Check4,      form.PushButton4,  form.PushButton7,
        form.PushButton3, form.PushButton8, form.PushButton5,  form.PushButton10};
    std::vector<QWidget*> visited = {form.ListView1};
    for (QWidget* next = form.ListView1->nextInFocusChain(); next != form.ListView1;
         next = next->nextInFocusChain()) {
        if (std::find(expected.begin(), expected.end(), next) != expected.end()) {
            visited.push_back(next);
        }
    }
    EXPECT_THAT(visited, ElementsAreArray(expected));
    EXPECT_EQ(form.Frame1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form.Frame2->focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, HoverShowsTheHandOverButtonsAndTheUsualPointerElsewhere) {
    MoveOver(form.PushButton7);
    EXPECT_EQ(form.Pointer().State(), PointerState::Hand);
    EXPECT_EQ(form.PushButton7->cursor().shape(), Qt::PointingHandCursor);

    MoveOver(form.Text1);
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(form.PushButton7->cursor().shape(), Qt::ArrowCursor);

    MoveOver(form.PushButton6);
    MoveOver(form.ListView2->viewport());
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);

    form.Pointer().Set(PointerState::Arrow);
    MoveOver(&form);
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
    MoveOver(form.PushButton1);
    EXPECT_EQ(form.Pointer().State(), PointerState::Hand);
}

TEST_F(MainWindowTest, BusyKeepsTheWaitPointerWhereverTheMouseGoes) {
    form.Pointer().Set(PointerState::Busy);
    for (QWidget* over :
         {static_cast<QWidget*>(form.PushButton4), static_cast<QWidget*>(&form),
          static_cast<QWidget*>(form.Text1), static_cast<QWidget*>(form.ListView1->viewport())}) {
        MoveOver(over);
        EXPECT_EQ(form.Pointer().State(), PointerState::Busy);
        EXPECT_EQ(over->cursor().shape(), Qt::WaitCursor);
    }
    form.Pointer().Set(PointerState::Default);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(FormTest, AssistiveTechnologyHearsTheCaptionsASearchShows) {
    const QString file = files.Write("a.txt", "abc");
    AddEntries(form, {file, files.Write("b.txt", "abc")});
    form.Text1->setText(QStringLiteral("needle"));
    const auto heard = [&] {
        return std::vector<QString>{AccessibleName(form.PushButton1),
                                    AccessibleName(form.ListView1),
                                    AccessibleColumnHeader(form.ListView1)};
    };
    const QString searching = "File(s) - Searching: " + file;
    std::vector<QString> heardDuring;
    WhenDuringRun look([&] { return form.ListView1->HeaderText() == searching; },
                       [&] {
                           form.ListView1->Flush();
                           heardDuring = heard();
                       });
    ClickStart(form);
    form.ListView1->Flush();

    EXPECT_TRUE(look.Happened());
    EXPECT_THAT(heardDuring, ElementsAre("Stop", searching, searching));
    EXPECT_THAT(heard(), ElementsAre("Start Searching", "File(s)", "File(s)"));
}

TEST(MainWindowPlace, IsKnownToTheWindowSystemAndAssistiveTechnologyFromTheStart) {
    const PlacesAtShow atShow;
    auto made = MakeForm();
    const Form1& form = *made->form;
    EXPECT_EQ(atShow.Of(&form).nativeWindow, form.geometry());
    for (const QWidget* button : {form.PushButton7, form.PushButton1}) {
        EXPECT_EQ(atShow.Of(button).accessible,
                  QRect(form.geometry().topLeft() + button->pos(), button->size()));
    }
}

TEST(MainWindowPointer, HandShowsThePointerImageOnlyWhenOneCouldBeRead) {
    ASSERT_TRUE(QImageWriter::supportedImageFormats().contains("cur"));
    const struct {
        const char* name;
        std::function<void(const TempFolder&)> setUp;
        Qt::CursorShape hand;
    } cases[] = {
        {"picture",
         [](const TempFolder& programFolder) {
             QImage image(32, 32, QImage::Format_ARGB32);
             image.fill(Qt::red);
             ASSERT_TRUE(image.save(programFolder.Path() + "/HAND-M.CUR", "cur"));
         },
         Qt::BitmapCursor},
        {"garbage",
         [](const TempFolder& programFolder) {
             programFolder.Write("HAND-M.CUR", "not a picture");
         },
         Qt::PointingHandCursor},
        {"none", [](const TempFolder&) {}, Qt::PointingHandCursor},
    };
    for (const auto& c : cases) {
        auto made = MakeForm(
            [&](StartupEnvironment&, const TempFolder& programFolder) { c.setUp(programFolder); });
        MoveOver(made->form->PushButton3);
        EXPECT_EQ(made->form->PushButton3->cursor().shape(), c.hand) << c.name;
    }
}

}  // namespace
}  // namespace tarnwick::test

#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

#include "app/app_texts.h"
#include "filelist/add_files.h"
#include "filelist/add_folder.h"
#include "filelist/list_filters.h"
#include "platform/appearance.h"
#include "platform/frame.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "platform/twips.h"
#include "results/save_and_copy.h"
#include "search/search_button.h"
#include "search/search_texts.h"

namespace tarnwick {

namespace {

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 9285;
constexpr int kColumnWidthTwips = 7000;
constexpr double kButtonPointSize = 11.25;
constexpr double kControlPointSize = 9;

// Controls get no fixed accessible name: assistive technology reads their
// current caption, or the caption of the frame around them.
template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
    control->setGeometry(TwipsRect(left, top, width, height));
    return control;
}

}  // namespace

Form1::Form1(StartupEnvironment environment)
    : m_environment(std::move(environment)),
      m_pointer(this),
      m_splash(m_environment.programFolder) {
    CreateControls();
    m_search = std::make_unique<SearchButton>(
        SearchControls{this, Text1, Check4, PushButton1, ListView1, ListView2, &m_pointer},
        QStringLiteral(TARNWICK_SUPPORT_ADDRESS), m_environment.searchWorkers);
    ConnectHandlers();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    SetBackground(this, Qt::white);
    setFont(ArialBold(kControlPointSize));

    ListView1 = Place(new ListView(this), 120, 120, 7800, 1815);
    CreateButtons();
    Frame1 = Place(new Frame(kPhraseFrameCaption, this), 120, 3555, 7800, 760);
    Text1 = Place(new QLineEdit(QStringLiteral("Text1"), Frame1), 240, 300, 7320, 330);
    Frame2 = Place(new Frame(kMatchFrameCaption, this), 120, 4440, 7800, 700);
    Check4 = Place(new QCheckBox(kMatchCaseCaption, Frame2), 240, 300, 1335, 255);
    ListView2 = Place(new ListView(this), 120, 5805, 7800, 1815);

    for (ListView* list : {ListView1, ListView2}) {
        list->setToolTip(kListToolTip);
    }
    for (QWidget* whiteControl : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                                  static_cast<QWidget*>(Check4)}) {
        SetBackground(whiteControl, Qt::white);
    }
    Check4->setChecked(true);
    SetTabOrder();
    TrackPointerMoves();
}

void Form1::CreateButtons() {
    const struct {
        QPushButton* Form1::*button;
        const QString& caption;
        int left, top, width;
    } buttons[] = {
        {&Form1::PushButton7, kAddFilesCaption, 120, 2010, 3840},
        {&Form1::PushButton3, kAddFolderCaption, 4080, 2010, 3840},
        {&Form1::PushButton8, kLoadListCaption, 120, 2535, 3840},
        {&Form1::PushButton9, kClearFileListCaption, 4080, 2535, 3840},
        {&Form1::PushButton5, kRemoveContainingCaption, 120, 3060, 3840},
        {&Form1::PushButton10, kRemoveNotContainingCaption, 4080, 3060, 3840},
        {&Form1::PushButton1, kStartCaption, 120, 5280, 7800},
        {&Form1::PushButton2, kSaveResultsCaption, 120, 7725, 3840},
        {&Form1::PushButton4, kCopyResultsCaption, 4080, 7710, 3840},
        {&Form1::PushButton17, kDeleteContainingCaption, 120, 8250, 3840},
        {&Form1::PushButton11, kDeleteNotContainingCaption, 4080, 8250, 3840},
        {&Form1::PushButton6, kClearResultsCaption, 120, 8775, 7800},
    };
    constexpr int kButtonHeight = 405;
    for (const auto& placement : buttons) {
        auto* button = new QPushButton(placement.caption, this);
        Place(button, placement.left, placement.top, placement.width, kButtonHeight);
        button->setFont(ArialBold(kButtonPointSize));
        SetBackground(button, Qt::white);
        this->*placement.button = button;
    }
}

void Form1::SetTabOrder() {
    const QWidget* order[] = {ListView1,   ListView2,   PushButton9,  PushButton1,
                              PushButton2, PushButton6, PushButton17, PushButton11,
                              Text1,       Check4,      PushButton4,  PushButton7,
                              PushButton3, PushButton8, PushButton5,  PushButton10};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void Form1::TrackPointerMoves() {
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget* control : findChildren<QWidget*>()) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // A move that a control ignores reaches its parents too; the control
        // under the pointer decides.
        const QPoint pointer = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        const bool overButton = qobject_cast<QPushButton*>(childAt(mapFromGlobal(pointer)));
        m_pointer.HoverOver(overButton ? PointerState::Hand : PointerState::Default);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::ConnectHandlers() {
    const std::pair<QPushButton*, void (Form1::*)()> clicks[] = {
        {PushButton1, &Form1::PushButton1_Click},   {PushButton2, &Form1::PushButton2_Click},
        {PushButton3, &Form1::PushButton3_Click},   {PushButton4, &Form1::PushButton4_Click},
        {PushButton5, &Form1::PushButton5_Click},   {PushButton6, &Form1::PushButton6_Click},
        {PushButton7, &Form1::PushButton7_Click},   {PushButton8, &Form1::PushButton8_Click},
        {PushButton9, &Form1::PushButton9_Click},   {PushButton10, &Form1::PushButton10_Click},
        {PushButton11, &Form1::PushButton11_Click}, {PushButton17, &Form1::PushButton17_Click},
    };
    for (const auto& [button, handler] : clicks) {
        QObject::connect(button, &QPushButton::clicked, this, handler);
    }
    ListView1->onDeleteKey = [this] { ListView1_KeyDown(); };
    ListView1->onDoubleClick = [this] { ListView1_DblClick(); };
    ListView1->onDropPaths = [this](const QStringList& paths) { ListView1_OLEDragDrop(paths); };
    ListView1->setAcceptDrops(true);
    ListView2->onDeleteKey = [this] { ListView2_KeyDown(); };
    ListView2->onDoubleClick = [this] { ListView2_DblClick(); };
}

void Form1::PushButton1_Click() {
    m_search->PushButton1_Click();
}

void Form1::PushButton2_Click() {
    SaveResultsAsTextFile(this, *ListView2, m_pointer);
}

void Form1::PushButton3_Click() {
    AddAllFilesInFolder(this, *ListView1, m_pointer);
}

void Form1::PushButton4_Click() {
    CopyResultsToClipboard(this, *ListView2);
}

void Form1::PushButton5_Click() {
    FilterByPrompt(this, *ListView1, m_pointer, FilterKind::Containing, PointerState::Default);
}

void Form1::PushButton6_Click() {
    ListView2->Clear();
}

void Form1::PushButton7_Click() {
    AddFilesByDialog(this, *ListView1);
}

void Form1::PushButton8_Click() {
    AddFilesFromListFiles(this, *ListView1);
}

void Form1::PushButton9_Click() {
    ListView1->Clear();
}

void Form1::PushButton10_Click() {
    FilterByPrompt(this, *ListView1, m_pointer, FilterKind::NotContaining, PointerState::Default);
}

void Form1::PushButton11_Click() {
    FilterByPrompt(this, *ListView2, m_pointer, FilterKind::NotContaining, PointerState::Arrow);
}

void Form1::PushButton17_Click() {
    FilterByPrompt(this, *ListView2, m_pointer, FilterKind::Containing, PointerState::Arrow);
}

void Form1::ListView1_KeyDown() {
    RemoveSelectedEntry(*ListView1);
}

void Form1::ListView1_DblClick() {
    RemoveSelectedEntry(*ListView1);
}

void Form1::ListView1_OLEDragDrop(const QStringList& paths) {
    AddDroppedPaths(*ListView1, paths);
}

void Form1::ListView2_KeyDown() {
    RemoveSelectedEntry(*ListView2);
}

void Form1::ListView2_DblClick() {
    RemoveSelectedEntry(*ListView2);
}

void Form1::Form_Load() {
    ApplyOptionalSkin(this, m_environment.programFolder);
    Text1->clear();
    CenterOnScreen(this);
    setWindowTitle(kWindowCaption);
    setWindowIcon(ApplicationIcon());
    LoadHandPointer();
    OpenHomePageByChance(m_environment);
    m_splash.SplashShow();
    ListView1->AddColumn(kFileListCaption, kColumnWidthTwips);
    ListView2->AddColumn(kResultListCaption, kColumnWidthTwips);
}

void Form1::LoadHandPointer() {
    const QString path = m_environment.programFolder + kHandPointerFile;
    if (!PathExists(path)) {
        return;
    }
    const QPixmap image(path);
    if (!image.isNull()) {
        m_pointer.SetHandImage(QCursor(image));
    }
}

// A worker held by a file system that does not answer keeps the process,
// and with it its connection to the display, until the file system answers:
// the windows leave the screen first.
void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    for (QWindow* window : QGuiApplication::topLevelWindows()) window->hide();
    m_environment.endProcess();
}

}  // namespace tarnwick

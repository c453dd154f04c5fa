#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "app/app_texts.h"
#include "app/splash.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "platform/twips.h"
#include "search/search_run.h"
#include "search/search_texts.h"

namespace tarnwick {

namespace {

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 9285;
constexpr int kColumnWidthTwips = 7000;
constexpr double kButtonPointSize = 11.25;
constexpr double kControlPointSize = 9;

QFont ArialBold(double pointSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
    control->setGeometry(TwipsRect(left, top, width, height));
    return control;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setFont(ArialBold(kButtonPointSize));
    return button;
}

QGroupBox* MakeFrame(QWidget* parent, const QString& caption) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setFont(ArialBold(kControlPointSize));
    return frame;
}

}  // namespace

Form1::Form1(StartupEnvironment environment)
    : m_environment(std::move(environment)), m_pointer(this) {
    CreateControls();
    m_search = std::make_unique<SearchRun>(
        SearchControls{this, Text1, Check4, PushButton1, ListView1, ListView2, &m_pointer},
        QStringLiteral(TARNWICK_SUPPORT_ADDRESS));
    QObject::connect(PushButton1, &QPushButton::clicked, this,
                     [this] { m_search->PushButton1_Click(); });
    Form_Load();
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    ListView1 = Place(new ListView(this), 120, 120, 7800, 1815);
    Frame1 = Place(MakeFrame(this, kPhraseFrameCaption), 120, 3555, 7800, 760);
    Text1 = Place(new QLineEdit(QStringLiteral("Text1"), Frame1), 240, 300, 7320, 330);
    Frame2 = Place(MakeFrame(this, kMatchFrameCaption), 120, 4440, 7800, 700);
    Check4 = Place(new QCheckBox(kMatchCaseCaption, Frame2), 240, 300, 1335, 255);
    PushButton1 = Place(MakeButton(this, kStartCaption), 120, 5280, 7800, 405);
    ListView2 = Place(new ListView(this), 120, 5805, 7800, 1815);

    for (ListView* list : {ListView1, ListView2}) {
        list->setFont(ArialBold(kControlPointSize));
        list->setToolTip(kListToolTip);
    }
    Text1->setFont(ArialBold(kControlPointSize));
    Check4->setFont(ArialBold(kControlPointSize));
    Check4->setChecked(true);
}

void Form1::Form_Load() {
    ApplyOptionalSkin(this, m_environment.programFolder);
    Text1->clear();
    CenterOnScreen(this);
    setWindowTitle(kWindowCaption);
    setWindowIcon(QIcon(QStringLiteral(":/tarnwick.png")));
    LoadHandPointer();
    OpenHomePageByChance(m_environment);
    SplashShow();
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

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    m_environment.endProcess();
}

}  // namespace tarnwick

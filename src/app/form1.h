#pragma once

#include <QWidget>
#include <memory>

#include "app/splash.h"
#include "app/startup.h"
#include "platform/window_pointer.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class ListView;
class SearchButton;

// The main window.
class Form1 : public QWidget {
public:
    explicit Form1(StartupEnvironment environment = StartupEnvironment::FromSystem());
    ~Form1() override;

    ListView* ListView1 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton10 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QCheckBox* Check4 = nullptr;
    QPushButton* PushButton1 = nullptr;
    ListView* ListView2 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton17 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton6 = nullptr;

    WindowPointer& Pointer() { return m_pointer; }
    const SearchButton& Search() const { return *m_search; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    void closeEvent(QCloseEvent* event) override;

private:
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton17_Click();
    void ListView1_KeyDown();
    void ListView1_DblClick();
    void ListView1_OLEDragDrop(const QStringList& paths);
    void ListView2_KeyDown();
    void ListView2_DblClick();

    void ConnectHandlers();
    void CreateControls();
    void CreateButtons();
    void SetTabOrder();
    void TrackPointerMoves();
    void Form_Load();
    void LoadHandPointer();

    StartupEnvironment m_environment;
    WindowPointer m_pointer;
    Splash m_splash;
    std::unique_ptr<SearchButton> m_search;
};

}  // namespace tarnwick

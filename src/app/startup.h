#pragma once

#include <QString>
#include <functional>

class QIcon;
class QWidget;

namespace tarnwick {

// What start-up takes from its surroundings; tests replace any of it.
struct StartupEnvironment {
    QString programFolder;
    QString homePage;
    // A number from 1 to 100, drawn afresh at every start.
    std::function<int()> drawOneToHundred;
    std::function<void(const QString&)> openUrl;
    // Ends the process when the main window is closed.
    std::function<void()> endProcess;
    // Files tested at once by the search; 0 gives one per core, raised while
    // the tests wait for the storage.
    unsigned searchWorkers = 0;

    static StartupEnvironment FromSystem();
};

inline constexpr int kHomePageDraw = 7;

int DrawOneToHundredFromTimeOfDay();

// Centres the window's outer frame, border and title bar included, on its
// screen; before the window is first shown, so it appears in place.
void CenterOnScreen(QWidget* window);

// The application icon, at every size it was rendered in.
QIcon ApplicationIcon();

// Recolours the window and its frames and check boxes and applies the skin
// file as a style sheet when the skin file is an ordinary file.
void ApplyOptionalSkin(QWidget* window, const QString& programFolder);

void OpenHomePageByChance(const StartupEnvironment& environment);

}  // namespace tarnwick

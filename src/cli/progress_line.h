#pragma once

#include <QString>
#include <QTimer>
#include <string>

namespace tarnwick::cli {

// One line on standard error, on a terminal, that shows how far a run is:
// the entries done of all and the path being searched, cut to the
// terminal's width and redrawn at most ten times a second.
class ProgressLine {
public:
    // columns: the terminal's width; 0 or less shows nothing.
    explicit ProgressLine(int columns);

    // Cheap: the line is made when it is drawn.
    void Set(int entriesDone, int entries, const QString& path);
    // Takes the line off the screen until the next redraw.
    void Erase();

    // What takes a line of these columns off the screen.
    static std::string EraseText(int columns);

private:
    void Draw();

    int m_columns;
    QTimer m_timer;
    int m_entriesDone = 0;
    int m_entries = 0;
    QString m_path;
    bool m_changed = false;
    bool m_shown = false;
};

}  // namespace tarnwick::cli

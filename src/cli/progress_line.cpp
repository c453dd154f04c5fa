#include "cli/progress_line.h"

#include <algorithm>
#include <chrono>

#include "cli/console.h"

namespace tarnwick::cli {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

// The end of a path tells more than its start.
QString CutFromTheStart(const QString& text, qsizetype width) {
    if (text.size() <= width) return text;
    const QString mark = QStringLiteral("...");
    return mark + text.right(std::max<qsizetype>(width - mark.size(), 0));
}

}  // namespace

// One column is left free, so that no terminal wraps the line.
ProgressLine::ProgressLine(int columns) : m_columns(columns - 1) {
    if (m_columns <= 0) return;
    m_timer.setInterval(kRedrawInterval);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Draw(); });
    m_timer.start();
}

void ProgressLine::Set(int entriesDone, int entries, const QString& path) {
    if (m_columns <= 0) return;
    m_entriesDone = entriesDone;
    m_entries = entries;
    m_path = path;
    m_changed = true;
}

void ProgressLine::Draw() {
    if (!m_changed) return;
    Erase();
    const QString count = QStringLiteral("%1/%2 ").arg(m_entriesDone).arg(m_entries);
    Write(Stream::Error,
          QLatin1Char('\r') + count + CutFromTheStart(m_path, m_columns - count.size()));
    m_shown = true;
    m_changed = false;
    SetEraseOnInterrupt(true);
}

void ProgressLine::Erase() {
    if (!m_shown) return;
    Write(Stream::Error, QString::fromStdString(EraseText(m_columns + 1)));
    m_shown = false;
    m_changed = true;
    SetEraseOnInterrupt(false);
}

std::string ProgressLine::EraseText(int columns) {
    if (columns <= 1) return {};
    return '\r' + std::string(static_cast<std::size_t>(columns - 1), ' ') + '\r';
}

}  // namespace tarnwick::cli

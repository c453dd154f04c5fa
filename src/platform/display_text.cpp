#include "platform/display_text.h"

#include <QStringView>

namespace tarnwick {

namespace {

constexpr QChar kEllipsis(0x2026);
constexpr qsizetype kLongestShownLine = kShownLineHead + 1 + kShownLineTail;

// A cut that falls inside a surrogate pair moves to the pair's start.
qsizetype PairStartAt(QStringView text, qsizetype position) {
    return position > 0 && text[position].isLowSurrogate() && text[position - 1].isHighSurrogate()
               ? position - 1
               : position;
}

void AppendCut(QString& shown, QStringView line) {
    if (line.size() <= kLongestShownLine) {
        shown += line;
        return;
    }
    shown += line.first(PairStartAt(line, kShownLineHead));
    shown += kEllipsis;
    shown += line.sliced(PairStartAt(line, line.size() - kShownLineTail));
}

// Takes only what is shown from a long text, which may be megabytes, and
// copies nothing else.
QString CutLongLines(const QString& text) {
    if (text.size() <= kLongestShownLine) {
        return text;
    }
    QString shown;
    for (qsizetype start = 0;;) {
        const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype end = lineFeed < 0 ? text.size() : lineFeed;
        AppendCut(shown, QStringView(text).sliced(start, end - start));
        if (lineFeed < 0) {
            return shown;
        }
        shown += QLatin1Char('\n');
        start = lineFeed + 1;
    }
}

bool IsDrawable(const QString& text, qsizetype i) {
    const QChar c = text[i];
    if (c.isNull()) {
        return false;
    }
    if (c.isHighSurrogate()) {
        return i + 1 < text.size() && text[i + 1].isLowSurrogate();
    }
    if (c.isLowSurrogate()) {
        return i > 0 && text[i - 1].isHighSurrogate();
    }
    return true;
}

}  // namespace

QString ForDisplay(const QString& text) {
    QString shown = CutLongLines(text);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!IsDrawable(shown, i)) {
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

}  // namespace tarnwick

#include "platform/list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>

#include "platform/display_text.h"
#include "platform/system.h"
#include "platform/twips.h"

namespace tarnwick {

namespace {

constexpr int kFlushIntervalMs = 33;
// The view's work for rows inserted at once grows with their number: beyond
// this many, the rest are shown on the next turns of the event loop.
constexpr int kMostRowsShownAtOnce = 32768;
// Beyond this many separate ranges, one reset is cheaper than the removals.
constexpr std::size_t kMaxRangesRemovedOneByOne = 64;

// What is drawn and what assistive technology is told: the same text.
bool IsShownTextRole(int role) {
    return role == Qt::DisplayRole || role == Qt::AccessibleTextRole;
}

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.append(PathOfLocalUrl(url));
        }
    }
    return paths;
}

}  // namespace

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_flushTimer.setSingleShot(true);
    QObject::connect(&m_flushTimer, &QTimer::timeout, this, [this] { ShowPending(); });
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_hasColumn ? 0 : 1;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!IsShownTextRole(role) || !index.isValid() || index.row() >= m_shownRows) {
        return {};
    }
    return ForDisplay(m_entries[index.row()]);
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!IsShownTextRole(role) || orientation != Qt::Horizontal || section != 0) {
        return {};
    }
    return ForDisplay(m_headerText);
}

void EntryListModel::Append(const QString& entry) {
    m_entries.push_back(entry);
    ScheduleFlush();
}

void EntryListModel::AppendAll(std::vector<QString>&& entries) {
    if (entries.empty()) {
        return;
    }
    for (QString& entry : entries) {
        m_entries.push_back(std::move(entry));
    }
    ScheduleFlush();
}

void EntryListModel::RemoveAt(int row) {
    Flush();
    RemoveRange(row, row);
}

void EntryListModel::RemoveRows(const std::vector<int>& rows) {
    if (rows.empty()) {
        return;
    }
    Flush();
    std::vector<std::pair<int, int>> ranges;
    for (int row : rows) {
        if (!ranges.empty() && ranges.back().second + 1 == row) {
            ranges.back().second = row;
        } else {
            ranges.emplace_back(row, row);
        }
    }
    if (ranges.size() > kMaxRangesRemovedOneByOne) {
        KeepAllBut(rows);
        return;
    }
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        RemoveRange(range->first, range->second);
    }
}

void EntryListModel::RemoveRange(int first, int last) {
    beginRemoveRows({}, first, last);
    m_entries.erase(m_entries.begin() + first, m_entries.begin() + last + 1);
    m_shownRows -= last - first + 1;
    endRemoveRows();
}

void EntryListModel::KeepAllBut(const std::vector<int>& rows) {
    beginResetModel();
    QList<QString> kept;
    kept.reserve(m_entries.size() - static_cast<qsizetype>(rows.size()));
    auto removed = rows.begin();
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row) {
        if (removed != rows.end() && *removed == row) {
            ++removed;
        } else {
            kept.push_back(std::move(m_entries[row]));
        }
    }
    m_entries = std::move(kept);
    m_shownRows = static_cast<int>(m_entries.size());
    endResetModel();
}

void EntryListModel::Clear() {
    beginResetModel();
    m_entries.clear();
    m_shownRows = 0;
    endResetModel();
}

void EntryListModel::AddColumn(const QString& text) {
    beginInsertColumns({}, 0, 0);
    m_hasColumn = true;
    m_headerText = text;
    endInsertColumns();
}

void EntryListModel::SetHeaderText(const QString& text) {
    m_headerText = text;
    m_headerPending = true;
    ScheduleFlush();
}

void EntryListModel::Flush() {
    m_flushTimer.stop();
    ShowRowsUpTo(static_cast<int>(m_entries.size()));
    ShowHeaderText();
}

void EntryListModel::ScheduleFlush() {
    if (!m_flushTimer.isActive()) {
        m_flushTimer.start(kFlushIntervalMs);
    }
}

void EntryListModel::ShowPending() {
    const int total = static_cast<int>(m_entries.size());
    ShowRowsUpTo(std::min(total, m_shownRows + kMostRowsShownAtOnce));
    ShowHeaderText();
    if (m_shownRows < total) {
        m_flushTimer.start(0);
    }
}

void EntryListModel::ShowRowsUpTo(int rows) {
    if (rows > m_shownRows) {
        beginInsertRows({}, m_shownRows, rows - 1);
        m_shownRows = rows;
        endInsertRows();
    }
}

void EntryListModel::ShowHeaderText() {
    if (m_headerPending) {
        m_headerPending = false;
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
    }
}

ListView::ListView(QWidget* parent) : QTableView(parent) {
    setModel(&m_model);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setSortingEnabled(false);
    QObject::connect(&m_model, &QAbstractItemModel::headerDataChanged, this,
                     [this] { NameAfterHeader(); });
}

int ListView::Count() const {
    return static_cast<int>(m_model.Entries().size());
}

std::optional<QString> ListView::Item(int position) const {
    if (position < 1 || position > Count()) {
        return std::nullopt;
    }
    return m_model.Entries()[position - 1];
}

void ListView::Append(const QString& entry) {
    m_model.Append(entry);
}

void ListView::AppendAll(std::vector<QString>&& entries) {
    m_model.AppendAll(std::move(entries));
}

void ListView::Remove(int position) {
    if (position >= 1 && position <= Count()) {
        m_model.RemoveAt(position - 1);
    }
}

void ListView::RemovePositions(const std::vector<int>& positions) {
    std::vector<int> rows;
    rows.reserve(positions.size());
    for (int position : positions) {
        rows.push_back(position - 1);
    }
    m_model.RemoveRows(rows);
}

void ListView::Clear() {
    m_model.Clear();
}

std::optional<int> ListView::SelectedPosition() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return selected.first().row() + 1;
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && onDeleteKey) {
        onDeleteKey();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (onDoubleClick) {
        onDoubleClick();
    }
}

bool ListView::AcceptsDrop(const QMimeData* data) const {
    return onDropPaths && !LocalPaths(data).isEmpty();
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    AnswerDrag(event);
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    AnswerDrag(event);
}

void ListView::AnswerDrag(QDragMoveEvent* event) {
    if (AcceptsDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ListView::dropEvent(QDropEvent* event) {
    if (!AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    onDropPaths(LocalPaths(event->mimeData()));
}

void ListView::AddColumn(const QString& text, int widthTwips) {
    m_model.AddColumn(text);
    setColumnWidth(0, TwipsToPixels(widthTwips));
    NameAfterHeader();
}

void ListView::NameAfterHeader() {
    setAccessibleName(m_model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString());
}

QString ListView::HeaderText() const {
    return m_model.HeaderText();
}

void ListView::SetHeaderText(const QString& text) {
    m_model.SetHeaderText(text);
}

void ListView::Flush() {
    m_model.Flush();
}

}  // namespace tarnwick

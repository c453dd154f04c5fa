#include "platform/list_view.h"

#include <QHeaderView>

#include "platform/twips.h"

namespace tarnwick {

namespace {
constexpr int kFlushIntervalMs = 33;
}

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushIntervalMs);
    QObject::connect(&m_flushTimer, &QTimer::timeout, this, [this] { Flush(); });
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_hasColumn ? 0 : 1;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_shownRows) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(index.row())];
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section != 0) {
        return {};
    }
    return m_headerText;
}

void EntryListModel::Append(const QString& entry) {
    m_entries.push_back(entry);
    ScheduleFlush();
}

void EntryListModel::RemoveAt(int row) {
    Flush();
    beginRemoveRows({}, row, row);
    m_entries.erase(m_entries.begin() + row);
    --m_shownRows;
    endRemoveRows();
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
    const int total = static_cast<int>(m_entries.size());
    if (total > m_shownRows) {
        beginInsertRows({}, m_shownRows, total - 1);
        m_shownRows = total;
        endInsertRows();
    }
    if (m_headerPending) {
        m_headerPending = false;
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
    }
}

void EntryListModel::ScheduleFlush() {
    if (!m_flushTimer.isActive()) {
        m_flushTimer.start();
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
}

int ListView::Count() const {
    return static_cast<int>(m_model.Entries().size());
}

std::optional<QString> ListView::Item(int position) const {
    if (position < 1 || position > Count()) {
        return std::nullopt;
    }
    return m_model.Entries()[static_cast<std::size_t>(position - 1)];
}

void ListView::Append(const QString& entry) {
    m_model.Append(entry);
}

void ListView::Remove(int position) {
    if (position >= 1 && position <= Count()) {
        m_model.RemoveAt(position - 1);
    }
}

void ListView::Clear() {
    m_model.Clear();
}

void ListView::AddColumn(const QString& text, int widthTwips) {
    m_model.AddColumn(text);
    setColumnWidth(0, TwipsToPixels(widthTwips));
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

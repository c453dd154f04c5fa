#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <optional>
#include <vector>

namespace tarnwick {

// The entries of one list view. Appended rows and header text changes are
// stored at once but shown at most about 30 times a second, so that a long
// operation can add rows cheaply while the view stays responsive.
class EntryListModel : public QAbstractTableModel {
public:
    explicit EntryListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<QString>& Entries() const { return m_entries; }
    void Append(const QString& entry);
    void RemoveAt(int row);
    void Clear();

    bool HasColumn() const { return m_hasColumn; }
    void AddColumn(const QString& text);
    const QString& HeaderText() const { return m_headerText; }
    void SetHeaderText(const QString& text);

    // Shows every pending row and the latest header text now.
    void Flush();

private:
    void ScheduleFlush();

    std::vector<QString> m_entries;
    int m_shownRows = 0;
    bool m_hasColumn = false;
    QString m_headerText;
    bool m_headerPending = false;
    QTimer m_flushTimer;
};

// A list view with one column header whose entries are addressed by position
// from 1, as the window's operations address them.
class ListView : public QTableView {
public:
    explicit ListView(QWidget* parent = nullptr);

    int Count() const;
    // The text of the entry at position, or nothing when there is no such entry.
    std::optional<QString> Item(int position) const;
    void Append(const QString& entry);
    void Remove(int position);
    void Clear();

    void AddColumn(const QString& text, int widthTwips);
    QString HeaderText() const;
    void SetHeaderText(const QString& text);
    void Flush();

    const std::vector<QString>& Entries() const { return m_model.Entries(); }

private:
    EntryListModel m_model;
};

}  // namespace tarnwick

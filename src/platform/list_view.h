#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

class QMimeData;

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

    // Implicitly shared: a copy is a cheap snapshot that a later change to
    // the list does not touch.
    const QList<QString>& Entries() const { return m_entries; }
    void Append(const QString& entry);
    void AppendAll(std::vector<QString>&& entries);
    void RemoveAt(int row);
    // rows ascending; removed in contiguous ranges, or by one reset when the
    // ranges are many.
    void RemoveRows(const std::vector<int>& rows);
    void Clear();

    bool HasColumn() const { return m_hasColumn; }
    void AddColumn(const QString& text);
    const QString& HeaderText() const { return m_headerText; }
    void SetHeaderText(const QString& text);

    // Shows every pending row and the latest header text now.
    void Flush();

private:
    void ScheduleFlush();
    // On the timer: the pending rows in parts, and the latest header text.
    void ShowPending();
    void ShowRowsUpTo(int rows);
    void ShowHeaderText();
    void RemoveRange(int first, int last);
    void KeepAllBut(const std::vector<int>& rows);

    QList<QString> m_entries;
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
    void AppendAll(std::vector<QString>&& entries);
    void Remove(int position);
    // positions ascending, each from 1 to Count().
    void RemovePositions(const std::vector<int>& positions);
    void Clear();

    // The position of the list's selected entry, if one is selected.
    std::optional<int> SelectedPosition() const;

    // Called on the Delete key (whatever the modifiers) and on a double-click.
    std::function<void()> onDeleteKey;
    std::function<void()> onDoubleClick;
    // Called with the local paths of a drop, in the order of the drop data.
    // Without a handler the list accepts no drops.
    std::function<void(const QStringList&)> onDropPaths;

    void AddColumn(const QString& text, int widthTwips);
    QString HeaderText() const;
    void SetHeaderText(const QString& text);
    void Flush();

    const QList<QString>& Entries() const { return m_model.Entries(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool AcceptsDrop(const QMimeData* data) const;
    void AnswerDrag(QDragMoveEvent* event);
    // Assistive technology names the list after its column header as shown.
    void NameAfterHeader();

    EntryListModel m_model;
};

}  // namespace tarnwick

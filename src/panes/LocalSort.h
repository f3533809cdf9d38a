#pragma once
// The local list's model and order: the file system model reads a folder in the background; a
// flat list over that folder's items orders them, folders first, by keys read once per item; icons
// and type names come from names alone.
#include <QAbstractFileIconProvider>
#include <QAbstractTableModel>
#include <QFileSystemModel>
#include <QHash>
#include <QMutex>
#include <QPersistentModelIndex>
#include <QTimer>
#include <vector>

// The file system model without its own sorting: the list orders the rows, where the model would
// sort all of them again after every batch it reads.
class TLocalFileModel : public QFileSystemModel {
    Q_OBJECT
public:
    using QFileSystemModel::QFileSystemModel;
    void sort(int, Qt::SortOrder) override {}
};

// The items of one folder of the file system model, folders first, then by the sort column,
// ties by name; never descending. Rows that arrive in a batch are appended and the whole list is
// ordered once shortly after; a few arrive in their place.
class TLocalListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TLocalListModel(QObject* parent);
    ~TLocalListModel() override;

    // The model's folder whose items are listed; the list follows the model from then on.
    void SetSource(QFileSystemModel* model, const QModelIndex& folder);
    void SortBy(int column);
    QModelIndex mapToSource(const QModelIndex& index) const;
    QModelIndex mapFromSource(const QModelIndex& source) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    struct TKey {
        bool Folder = false;
        qint64 Number = 0; // size or modification time, by the sort column
        QString Text;      // type name by the sort column, case-folded
        QString Name;      // case-folded
    };
    struct TEntry {
        int Source; // row under the folder in the file system model
        TKey Key;
    };
    TKey KeyOf(int sourceRow) const;
    bool Before(const TEntry& a, const TEntry& b) const;
    std::vector<TEntry> Entries() const; // the folder's rows, in order
    void Order();
    void OrderSoon();
    void Inserted(const QModelIndex& parent, int first, int last);
    void AboutToRemove(const QModelIndex& parent, int first, int last);
    void Removed(const QModelIndex& parent, int first, int last);
    void Changed(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    const std::vector<int>& Rows() const;
    void Connect();

    QFileSystemModel* FSource = nullptr;
    QPersistentModelIndex FFolder;
    std::vector<TEntry> FEntries;    // in the list's order
    mutable std::vector<int> FRowOf; // by source row; rebuilt after changes
    mutable bool FRowOfStale = true;
    int FColumn = 0;
    QTimer FOrderTimer;     // gathers batches of new rows into one ordering
    int FFolderHandle = -1; // the listed folder, open for reading its items' dates
    std::vector<QMetaObject::Connection> FConnections;
};

// Icons and type names from an item's name and kind; one lookup per extension. The model asks
// for them for every item it reads, on the window's thread.
class TLocalIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    mutable QMutex FLock;
    mutable QHash<QString, QString> FTypes;
};

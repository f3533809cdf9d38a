// The local list's order, and the icons and type names of its items.
#include "panes/LocalSort.h"

#include <QFile>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIcons.h"

namespace {

template <typename T> int Compare(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Straight from the file system, by name within the open folder: the model's local date would
// look up the time zone for every item.
qint64 ModifiedMs(int folder, const QString& name)
{
    const QByteArray bytes = QFile::encodeName(name);
    struct stat st {};
    if (::fstatat(folder, bytes.constData(), &st, 0) != 0 &&
        ::fstatat(folder, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    return qint64{st.st_mtim.tv_sec} * 1000 + st.st_mtim.tv_nsec / 1000000;
}

} // namespace

TLocalListModel::TLocalListModel(QObject* parent) : QAbstractTableModel(parent)
{
    FOrderTimer.setSingleShot(true);
    // Long enough that the window handles its input between a batch of rows and their order.
    FOrderTimer.setInterval(50);
    connect(&FOrderTimer, &QTimer::timeout, this, &TLocalListModel::Order);
}

TLocalListModel::~TLocalListModel()
{
    if (FFolderHandle >= 0)
        ::close(FFolderHandle);
}

void TLocalListModel::SetSource(QFileSystemModel* model, const QModelIndex& folder)
{
    for (const auto& c : FConnections)
        disconnect(c);
    FConnections.clear();
    // Rows out and rows in, not a reset: the header keeps the widths the user gave the columns.
    if (!FEntries.empty()) {
        beginRemoveRows({}, 0, static_cast<int>(FEntries.size()) - 1);
        FEntries.clear();
        endRemoveRows();
    }
    FSource = model;
    FFolder = folder;
    if (FFolderHandle >= 0)
        ::close(FFolderHandle);
    FFolderHandle = FSource != nullptr && folder.isValid()
                        ? ::open(QFile::encodeName(FSource->filePath(folder)).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                        : -1;
    std::vector<TEntry> entries = Entries();
    if (!entries.empty()) {
        beginInsertRows({}, 0, static_cast<int>(entries.size()) - 1);
        FEntries = std::move(entries);
        endInsertRows();
    }
    FRowOfStale = true;
    if (FSource != nullptr)
        Connect();
}

void TLocalListModel::Connect()
{
    QFileSystemModel* m = FSource;
    FConnections = {
        connect(m, &QAbstractItemModel::rowsInserted, this, &TLocalListModel::Inserted),
        connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TLocalListModel::AboutToRemove),
        connect(m, &QAbstractItemModel::rowsRemoved, this, &TLocalListModel::Removed),
        connect(m, &QAbstractItemModel::dataChanged, this, &TLocalListModel::Changed),
        // Rare for this model (its own sorting is off): read the folder's rows afresh.
        connect(m, &QAbstractItemModel::layoutChanged, this, [this] { SetSource(FSource, FFolder); }),
        connect(m, &QAbstractItemModel::modelReset, this, [this] { SetSource(FSource, FFolder); }),
        connect(m, &QObject::destroyed, this, [this] { SetSource(nullptr, {}); }),
    };
}

void TLocalListModel::SortBy(int column)
{
    FColumn = column;
    for (TEntry& e : FEntries)
        e.Key = KeyOf(e.Source);
    Order();
}

TLocalListModel::TKey TLocalListModel::KeyOf(int sourceRow) const
{
    const QModelIndex item = FSource->index(sourceRow, 0, FFolder);
    TKey key;
    key.Folder = FSource->isDir(item);
    key.Name = item.data(QFileSystemModel::FileNameRole).toString().toCaseFolded();
    switch (FColumn) {
    case 1: key.Number = FSource->size(item); break;
    case 2: key.Text = FSource->type(item).toCaseFolded(); break;
    case 3: key.Number = ModifiedMs(FFolderHandle, FSource->fileName(item)); break;
    default: break;
    }
    return key;
}

bool TLocalListModel::Before(const TEntry& a, const TEntry& b) const
{
    if (a.Key.Folder != b.Key.Folder)
        return a.Key.Folder;
    const int order = FColumn == 2 ? Compare(a.Key.Text, b.Key.Text) : Compare(a.Key.Number, b.Key.Number);
    return order != 0 ? order < 0 : a.Key.Name < b.Key.Name;
}

std::vector<TLocalListModel::TEntry> TLocalListModel::Entries() const
{
    std::vector<TEntry> entries;
    if (FSource == nullptr || !FFolder.isValid())
        return entries;
    const int rows = FSource->rowCount(FFolder);
    entries.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        entries.push_back({r, KeyOf(r)});
    std::stable_sort(entries.begin(), entries.end(),
                     [this](const TEntry& a, const TEntry& b) { return Before(a, b); });
    return entries;
}

void TLocalListModel::Order()
{
    FOrderTimer.stop();
    const auto before = [this](const TEntry& a, const TEntry& b) { return Before(a, b); };
    if (std::is_sorted(FEntries.begin(), FEntries.end(), before))
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(FEntries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Before(FEntries[a], FEntries[b]); });
    std::vector<TEntry> sorted;
    sorted.reserve(FEntries.size());
    std::vector<int> newRow(FEntries.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRow[static_cast<size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(FEntries[static_cast<size_t>(order[i])]));
    }
    FEntries = std::move(sorted);
    FRowOfStale = true;
    // The selection and the current row follow their items.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    for (const QModelIndex& i : from)
        to << index(newRow[static_cast<size_t>(i.row())], i.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TLocalListModel::OrderSoon()
{
    if (!FOrderTimer.isActive())
        FOrderTimer.start();
}

const std::vector<int>& TLocalListModel::Rows() const
{
    if (FRowOfStale) {
        int size = 0;
        for (const TEntry& e : FEntries)
            size = std::max(size, e.Source + 1);
        FRowOf.assign(static_cast<size_t>(size), -1);
        for (size_t i = 0; i < FEntries.size(); ++i)
            FRowOf[static_cast<size_t>(FEntries[i].Source)] = static_cast<int>(i);
        FRowOfStale = false;
    }
    return FRowOf;
}

void TLocalListModel::Inserted(const QModelIndex& parent, int first, int last)
{
    if (parent != FFolder)
        return;
    const int count = last - first + 1;
    for (TEntry& e : FEntries)
        if (e.Source >= first)
            e.Source += count;
    FRowOfStale = true;
    // A few new items go straight to their place; a batch is appended and ordered once.
    if (count <= 16) {
        for (int r = first; r <= last; ++r) {
            TEntry entry{r, KeyOf(r)};
            const auto at =
                std::upper_bound(FEntries.begin(), FEntries.end(), entry,
                                 [this](const TEntry& a, const TEntry& b) { return Before(a, b); });
            const int row = static_cast<int>(at - FEntries.begin());
            beginInsertRows({}, row, row);
            FEntries.insert(at, std::move(entry));
            endInsertRows();
        }
        return;
    }
    const int end = static_cast<int>(FEntries.size());
    beginInsertRows({}, end, end + count - 1);
    for (int r = first; r <= last; ++r)
        FEntries.push_back({r, KeyOf(r)});
    endInsertRows();
    OrderSoon();
}

void TLocalListModel::AboutToRemove(const QModelIndex& parent, int first, int last)
{
    // The listed folder itself, or a folder above it, is going.
    for (QModelIndex i = FFolder; i.isValid(); i = i.parent())
        if (i.parent() == parent && i.row() >= first && i.row() <= last) {
            SetSource(FSource, {});
            return;
        }
    if (parent != FFolder)
        return;
    std::vector<int> rows;
    const std::vector<int>& rowOf = Rows();
    for (int r = first; r <= last && r < static_cast<int>(rowOf.size()); ++r)
        if (rowOf[static_cast<size_t>(r)] >= 0)
            rows.push_back(rowOf[static_cast<size_t>(r)]);
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        beginRemoveRows({}, row, row);
        FEntries.erase(FEntries.begin() + row);
        endRemoveRows();
    }
    FRowOfStale = true;
}

void TLocalListModel::Removed(const QModelIndex& parent, int first, int last)
{
    if (parent != FFolder)
        return;
    for (TEntry& e : FEntries)
        if (e.Source > last)
            e.Source -= last - first + 1;
    FRowOfStale = true;
}

void TLocalListModel::Changed(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (topLeft.parent() != FFolder)
        return;
    const std::vector<int>& rowOf = Rows();
    int low = INT_MAX, high = -1;
    bool reorder = false;
    for (int r = topLeft.row(); r <= bottomRight.row() && r < static_cast<int>(rowOf.size()); ++r) {
        const int row = rowOf[static_cast<size_t>(r)];
        if (row < 0)
            continue;
        TKey key = KeyOf(r);
        TKey& old = FEntries[static_cast<size_t>(row)].Key;
        reorder = reorder || key.Folder != old.Folder || key.Number != old.Number || key.Text != old.Text ||
                  key.Name != old.Name;
        old = std::move(key);
        low = std::min(low, row);
        high = std::max(high, row);
    }
    if (high >= 0)
        emit dataChanged(index(low, 0), index(high, columnCount() - 1));
    if (reorder)
        OrderSoon();
}

QModelIndex TLocalListModel::mapToSource(const QModelIndex& index) const
{
    if (FSource == nullptr || !index.isValid() || index.row() >= static_cast<int>(FEntries.size()))
        return {};
    return FSource->index(FEntries[static_cast<size_t>(index.row())].Source, index.column(), FFolder);
}

QModelIndex TLocalListModel::mapFromSource(const QModelIndex& source) const
{
    if (!source.isValid() || source.parent() != FFolder)
        return {};
    const std::vector<int>& rowOf = Rows();
    if (source.row() >= static_cast<int>(rowOf.size()) || rowOf[static_cast<size_t>(source.row())] < 0)
        return {};
    return index(rowOf[static_cast<size_t>(source.row())], source.column());
}

int TLocalListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FEntries.size());
}

int TLocalListModel::columnCount(const QModelIndex& parent) const
{
    // Name, Size, Type, Date Modified: the same with or without a folder, so the header stays.
    return parent.isValid() ? 0 : 4;
}

QVariant TLocalListModel::data(const QModelIndex& index, int role) const
{
    return mapToSource(index).data(role);
}

QVariant TLocalListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return FSource != nullptr ? FSource->headerData(section, orientation, role)
                              : QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TLocalListModel::flags(const QModelIndex& index) const
{
    const QModelIndex source = mapToSource(index);
    if (!source.isValid())
        return Qt::NoItemFlags;
    // The file system model stays read-only: a confirmed edit goes to the pane's rename.
    Qt::ItemFlags f = FSource->flags(source) | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TLocalListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && FSource != nullptr && FFolder.isValid() && FSource->canFetchMore(FFolder);
}

void TLocalListModel::fetchMore(const QModelIndex& parent)
{
    if (canFetchMore(parent))
        FSource->fetchMore(FFolder);
}

QStringList TLocalListModel::mimeTypes() const
{
    return FSource != nullptr ? FSource->mimeTypes() : QStringList();
}

QMimeData* TLocalListModel::mimeData(const QModelIndexList& indexes) const
{
    QModelIndexList sources;
    for (const QModelIndex& i : indexes)
        sources << mapToSource(i);
    return FSource != nullptr ? FSource->mimeData(sources) : nullptr;
}

Qt::DropActions TLocalListModel::supportedDragActions() const
{
    return FSource != nullptr ? FSource->supportedDragActions() : Qt::IgnoreAction;
}

QIcon TLocalIconProvider::icon(IconType type) const
{
    return type == Folder ? FolderIcon() : QAbstractFileIconProvider::icon(type);
}

QIcon TLocalIconProvider::icon(const QFileInfo& info) const
{
    return info.isDir() ? FolderIcon() : FileIconForName(info.fileName());
}

QString TLocalIconProvider::type(const QFileInfo& info) const
{
    if (info.isDir())
        return QStringLiteral("Folder");
    // "name.tar.gz" is not a plain gzip file; a name without a dot may be known by itself.
    const QString suffix = info.completeSuffix().toLower();
    const QString known = suffix.isEmpty() ? info.fileName() : suffix;
    QMutexLocker hold(&FLock);
    auto found = FTypes.constFind(known);
    if (found != FTypes.constEnd())
        return *found;
    static const QMimeDatabase mimes;
    // By the name alone: reading every file's first bytes would be a disk read per item.
    const QString comment = mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment();
    return *FTypes.insert(known, comment);
}

// The remote list built from a listing, and its order.
#include <QComboBox>
#include <QFontDatabase>
#include <algorithm>
#include <cmath>

#include "app/MainForm.h"
#include "ftp/IdFTP.h"
#include "ftp/IdFTPList.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "platform/FileIcons.h"

namespace {

TRemoteRow* ParentRow()
{
    auto* row = new TRemoteRow;
    row->setText(0, QStringLiteral(".."));
    row->setIcon(0, FolderIcon());
    return row;
}

} // namespace

void TRemotePane::ClearRemoteList()
{
    // Each row owns its record (and through it the link's target).
    ListView1->clear();
    ListView1Change();
}

void TRemotePane::ClearHistory()
{
    ComboBoxEx1->clear();
}

void TRemotePane::AddPathHistory(const std::string& path)
{
    const QByteArray raw = QByteArray::fromStdString(path);
    for (int i = 0; i < ComboBoxEx1->count(); ++i) {
        if (ComboBoxEx1->itemData(i).toByteArray() == raw) {
            ComboBoxEx1->setCurrentIndex(i);
            return;
        }
    }
    ComboBoxEx1->addItem(FolderIcon(), DisplayName(path), raw);
    ComboBoxEx1->setCurrentIndex(ComboBoxEx1->count() - 1);
}

TRemoteRow* TRemotePane::MakeRow(const TIdFTPListItem& entry)
{
    auto* row = new TRemoteRow;
    row->Info =
        std::make_unique<TFTPFileInfo>(TFTPThread::FileInfoFromEntry(entry, FMain.Worker->FCurrentDir));
    TFTPFileInfo& info = *row->Info;
    const QString name = DisplayName(info.Name);
    row->setText(0, name);
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    switch (info.Kind) {
    case ikFolder:
        row->setText(2, QStringLiteral("Folder"));
        row->setIcon(0, FolderIcon());
        break;
    case ikFile:
        row->setText(1, FormatFileSize(info.Size));
        row->setText(2, QStringLiteral("File"));
        row->setIcon(0, FileIconForName(name));
        break;
    case ikLink: {
        TFTPFileInfo target;
        try {
            // The worker waits inside this notification: its session is free for the lookups.
            target = FMain.Worker->ResolveLink(entry.LinkTargetName);
        } catch (const std::exception&) {
            target = TFTPFileInfo{};
        }
        if (!target.Name.empty())
            info.LinkTarget = std::make_shared<TFTPFileInfo>(std::move(target));
        const bool toFolder = info.LinkTarget && info.LinkTarget->Kind == ikFolder;
        row->setText(2, QStringLiteral("Symbolic Link"));
        row->setIcon(0, toFolder ? FolderIcon() : FileIconForName(name));
        break;
    }
    }
    row->setText(3, FormatModified(info.Modified));
    row->Rights = entry.OwnerRights + entry.GroupRights + entry.OtherRights;
    row->setText(4, QString::fromLatin1(row->Rights.data(), static_cast<qsizetype>(row->Rights.size())));
    static const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    row->setFont(4, fixed);
    return row;
}

void TRemotePane::ShowRemoteListing()
{
    ClearRemoteList();
    AddPathHistory(FMain.Worker->FCurrentDir);
    // A private copy: link lookups list other folders through the same client.
    TIdFTPListItems entries;
    entries.Assign(FMain.Worker->FFTP->ParsedListing());
    QList<QTreeWidgetItem*> rows;
    rows.reserve(entries.Count() + 1);
    rows.append(ParentRow());
    for (int i = 0; i < entries.Count(); ++i) {
        const TIdFTPListItem& entry = entries[i];
        if (entry.EntryName == "." || entry.EntryName == "..")
            continue;
        rows.append(MakeRow(entry));
    }
    ListView1->addTopLevelItems(rows);
    SortRows();
}

int TRemotePane::ListView1Compare(const TRemoteRow& item1, const TRemoteRow& item2) const
{
    if (item1.IsParentRow())
        return -1;
    if (item2.IsParentRow())
        return 1;
    const TFTPFileInfo& a = *item1.Info;
    const TFTPFileInfo& b = *item2.Info;
    const bool folderLike1 = a.Kind != ikFile;
    const bool folderLike2 = b.Kind != ikFile;
    // Folders and links lead in both directions.
    if (folderLike1 != folderLike2)
        return folderLike1 ? -1 : 1;
    int result = 0;
    switch (FMain.SortKey) {
    case 1:
        result = folderLike1 ? CompareNames(a.Name, b.Name)
                             : (a.Size < b.Size   ? -1
                                : a.Size > b.Size ? 1
                                                  : 0);
        break;
    case 2:
        result = folderLike1 ? CompareNames(a.Name, b.Name)
                             : CompareNames(NameExtension(a.Name), NameExtension(b.Name));
        break;
    case 3: {
        constexpr double kMillisecond = 1.0 / 86400000.0;
        const double d = a.Modified - b.Modified;
        result = std::fabs(d) < kMillisecond ? 0 : (d < 0 ? -1 : 1);
        break;
    }
    default: result = CompareNames(a.Name, b.Name); break;
    }
    return FMain.SortDescending ? -result : result;
}

void TRemotePane::SortRows()
{
    // Selection and the current row survive the re-ordering.
    QTreeWidgetItem* current = ListView1->currentItem();
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    QList<QTreeWidgetItem*> rows = ListView1->invisibleRootItem()->takeChildren();
    // A stable merge sort: any comparison result is safe, even dates equal within a millisecond.
    std::stable_sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* x, QTreeWidgetItem* y) {
        return ListView1Compare(*static_cast<TRemoteRow*>(x), *static_cast<TRemoteRow*>(y)) < 0;
    });
    ListView1->addTopLevelItems(rows);
    const QSignalBlocker quiet(ListView1);
    if (current != nullptr)
        ListView1->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem* row : selected)
        row->setSelected(true);
}

void TRemotePane::ListView1ColumnClick(int column)
{
    if (column < 0 || column > 3)
        return;
    if (FMain.SortKey == column)
        FMain.SortDescending = !FMain.SortDescending;
    else
        FMain.SortKey = static_cast<uint8_t>(column);
    SortRows();
}

void TRemotePane::SortBy(int key)
{
    FMain.SortKey = static_cast<uint8_t>(key);
    SortRows();
}

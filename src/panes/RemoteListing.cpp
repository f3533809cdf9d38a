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

QString TypeText(TFTPItemKind kind)
{
    switch (kind) {
    case ikFolder: return QStringLiteral("Folder");
    case ikLink: return QStringLiteral("Symbolic Link");
    default: return QStringLiteral("File");
    }
}

QIcon RowIcon(const TFTPFileInfo& info)
{
    const bool folderLike = info.Kind == ikFolder || (info.LinkTarget && info.LinkTarget->Kind == ikFolder);
    return folderLike ? FolderIcon() : FileIconForName(DisplayName(info.Name));
}

QVariant RowText(const TRemoteRow& row, int column)
{
    const TFTPFileInfo& info = *row.Info;
    switch (column) {
    case 0: return DisplayName(info.Name);
    case 1: return info.Kind == ikFile ? FormatFileSize(info.Size) : QString();
    case 2: return TypeText(info.Kind);
    case 3: return FormatModified(info.Modified);
    case 4: return QString::fromLatin1(row.Rights.data(), static_cast<qsizetype>(row.Rights.size()));
    default: return {};
    }
}

} // namespace

const TRemotePane* TRemoteRow::SortingPane = nullptr;

QVariant TRemoteRow::data(int column, int role) const
{
    if (role == Qt::FontRole && column == 4) {
        static const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        return fixed;
    }
    if (Info && (role == Qt::DisplayRole || role == Qt::EditRole))
        return RowText(*this, column);
    if (Info && role == Qt::DecorationRole && column == 0)
        return RowIcon(*Info);
    return QTreeWidgetItem::data(column, role);
}

bool TRemoteRow::operator<(const QTreeWidgetItem& other) const
{
    if (SortingPane == nullptr)
        return QTreeWidgetItem::operator<(other);
    return SortingPane->ListView1Compare(*this, static_cast<const TRemoteRow&>(other)) < 0;
}

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
    row->Rights = entry.OwnerRights + entry.GroupRights + entry.OtherRights;
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    if (row->Info->Kind == ikLink) {
        TFTPFileInfo target;
        try {
            // The worker waits inside this notification: its session is free for the lookups.
            target = FMain.Worker->ResolveLink(entry.LinkTargetName);
        } catch (const std::exception&) {
            target = TFTPFileInfo{};
        }
        if (!target.Name.empty())
            row->Info->LinkTarget = std::make_shared<TFTPFileInfo>(std::move(target));
    }
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
    WidenClippedColumns();
}

// The design widths fit a small bitmap font: a column whose texts would be cut grows to fit
// them, and never shrinks below what the user set.
void TRemotePane::WidenClippedColumns()
{
    for (int column : {1, 2, 3}) {
        const int wanted = ListView1->ContentWidth(column);
        if (wanted > ListView1->columnWidth(column))
            ListView1->setColumnWidth(column, wanted);
    }
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
    // The model's own stable sort keeps the selection and the current row, and any comparison
    // result is safe with it, even dates that are equal within a millisecond.
    TRemoteRow::SortingPane = this;
    ListView1->sortItems(0, Qt::AscendingOrder);
    TRemoteRow::SortingPane = nullptr;
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

#include "panes/LocalProperties.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>

namespace {

QString Permissions(QFile::Permissions p)
{
    const std::pair<QFile::Permission, char> bits[] = {
        {QFile::ReadOwner, 'r'}, {QFile::WriteOwner, 'w'}, {QFile::ExeOwner, 'x'},
        {QFile::ReadGroup, 'r'}, {QFile::WriteGroup, 'w'}, {QFile::ExeGroup, 'x'},
        {QFile::ReadOther, 'r'}, {QFile::WriteOther, 'w'}, {QFile::ExeOther, 'x'}};
    QString text;
    for (const auto& [bit, letter] : bits)
        text += (p & bit) ? QLatin1Char(letter) : QLatin1Char('-');
    return text;
}

} // namespace

QList<QPair<QString, QString>> LocalPropertyRows(const QString& path)
{
    const QFileInfo info(path);
    const QLocale locale;
    QString type = info.isSymLink() ? QStringLiteral("Link to ") + info.symLinkTarget()
                   : info.isDir()   ? QStringLiteral("Folder")
                                    : QMimeDatabase().mimeTypeForFile(info).comment();
    QList<QPair<QString, QString>> rows{{QStringLiteral("Name:"), info.fileName()},
                                        {QStringLiteral("Location:"), info.path()},
                                        {QStringLiteral("Type:"), type}};
    if (!info.isDir())
        rows.append(
            {QStringLiteral("Size:"), locale.formattedDataSize(info.size()) +
                                          QStringLiteral(" (%1 bytes)").arg(locale.toString(info.size()))});
    rows.append({QStringLiteral("Modified:"), locale.toString(info.lastModified(), QLocale::LongFormat)});
    rows.append({QStringLiteral("Owner:"), info.owner() + QLatin1Char(':') + info.group()});
    rows.append({QStringLiteral("Permissions:"), Permissions(info.permissions())});
    return rows;
}

void ShowLocalProperties(QWidget* owner, const QString& path)
{
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("LocalProperties"));
    dialog.setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" Properties"));
    auto* form = new QFormLayout(&dialog);
    for (const auto& [caption, value] : LocalPropertyRows(path)) {
        auto* label = new QLabel(value, &dialog);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, label);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    dialog.exec();
}

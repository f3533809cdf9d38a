#pragma once
// Only the name column is edited in place; a confirmed edit goes to the pane's rename, never
// straight into the row.
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <functional>

class TNameDelegate : public QStyledItemDelegate {
public:
    TNameDelegate(QObject* parent, std::function<void(const QModelIndex&, const QString&)> edited)
        : QStyledItemDelegate(parent), FEdited(std::move(edited))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        if (index.column() != 0)
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            FEdited(index, line->text());
    }

private:
    std::function<void(const QModelIndex&, const QString&)> FEdited;
};

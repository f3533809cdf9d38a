#include "panes/Unit3.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct TRightsBoxes {
    QCheckBox *Read, *Write, *Execute;
};

TRightsBoxes RightsGroup(QWidget* parent, const char* caption, int y, int firstBox)
{
    auto* group = new QGroupBox(QString::fromLatin1(caption), parent);
    group->setGeometry(8, y, 193, 44);
    auto box = [&](const char* text, int x, int width, int number) {
        auto* b = new QCheckBox(QString::fromLatin1(text), group);
        b->setObjectName(QStringLiteral("CheckBox%1").arg(number));
        b->setGeometry(x, 18, width, 19);
        return b;
    };
    return {box("Read", 8, 56, firstBox), box("Write", 64, 56, firstBox + 1),
            box("Execute", 120, 72, firstBox + 2)};
}

void Recompute(TFTPRights& r)
{
    r.Mode = (r.Read ? 4 : 0) + (r.Write ? 2 : 0) + (r.Execute ? 1 : 0);
}

} // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("File Permissions"));
    setFixedSize(208, 261);
    LabeledEdit1 = new QLineEdit(this);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setGeometry(8, 24, 193, 21);
    LabeledEdit1->setReadOnly(true);
    auto* fileLabel = new QLabel(QStringLiteral("Filename"), this);
    fileLabel->move(8, 8);
    const TRightsBoxes owner = RightsGroup(this, "Owner", 56, 7);
    const TRightsBoxes group = RightsGroup(this, "Group", 104, 4);
    const TRightsBoxes user = RightsGroup(this, "User", 152, 1);
    CheckBox7 = owner.Read, CheckBox8 = owner.Write, CheckBox9 = owner.Execute;
    CheckBox4 = group.Read, CheckBox5 = group.Write, CheckBox6 = group.Execute;
    CheckBox1 = user.Read, CheckBox2 = user.Write, CheckBox3 = user.Execute;
    auto* numericLabel = new QLabel(QStringLiteral("Numeric: "), this);
    numericLabel->setGeometry(0, 202, 78, 17);
    numericLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabeledEdit2 = new QLineEdit(this);
    LabeledEdit2->setObjectName(QStringLiteral("LabeledEdit2"));
    LabeledEdit2->setGeometry(80, 200, 49, 21);
    LabeledEdit2->setReadOnly(true);
    numericLabel->setBuddy(LabeledEdit2);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(24, 232, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(104, 232, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    const std::pair<QCheckBox*, std::pair<TFTPRights*, bool TFTPRights::*>> links[] = {
        {CheckBox7, {&OwnerPerm, &TFTPRights::Read}},    {CheckBox8, {&OwnerPerm, &TFTPRights::Write}},
        {CheckBox9, {&OwnerPerm, &TFTPRights::Execute}}, {CheckBox4, {&GroupPerm, &TFTPRights::Read}},
        {CheckBox5, {&GroupPerm, &TFTPRights::Write}},   {CheckBox6, {&GroupPerm, &TFTPRights::Execute}},
        {CheckBox1, {&UserPerm, &TFTPRights::Read}},     {CheckBox2, {&UserPerm, &TFTPRights::Write}},
        {CheckBox3, {&UserPerm, &TFTPRights::Execute}}};
    for (const auto& [box, target] : links) {
        TFTPRights* record = target.first;
        bool TFTPRights::*flag = target.second;
        connect(box, &QCheckBox::clicked, this,
                [this, box = box, record, flag] { BoxClicked(box, *record, flag); });
    }
    // Tab order: Filename, User, Group, OK, Cancel, Numeric, Owner.
    QWidget* order[] = {LabeledEdit1, CheckBox1, CheckBox2,    CheckBox3, CheckBox4, CheckBox5, CheckBox6,
                        Button1,      Button2,   LabeledEdit2, CheckBox7, CheckBox8, CheckBox9};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TForm3::SetRights(const std::string& rights)
{
    auto part = [&](size_t from) { return rights.size() > from ? rights.substr(from, 3) : std::string(); };
    OwnerPerm = TFTPRights::Parse(part(0));
    GroupPerm = TFTPRights::Parse(part(3));
    UserPerm = TFTPRights::Parse(part(6));
}

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TForm3::FormShow()
{
    CheckBox7->setChecked(OwnerPerm.Read);
    CheckBox8->setChecked(OwnerPerm.Write);
    CheckBox9->setChecked(OwnerPerm.Execute);
    CheckBox4->setChecked(GroupPerm.Read);
    CheckBox5->setChecked(GroupPerm.Write);
    CheckBox6->setChecked(GroupPerm.Execute);
    CheckBox1->setChecked(UserPerm.Read);
    CheckBox2->setChecked(UserPerm.Write);
    CheckBox3->setChecked(UserPerm.Execute);
    UpdateNumeric();
}

void TForm3::BoxClicked(QCheckBox* box, TFTPRights& record, bool TFTPRights::*flag)
{
    record.*flag = box->isChecked();
    Recompute(record);
    UpdateNumeric();
}

void TForm3::UpdateNumeric()
{
    LabeledEdit2->setText(QString::number(OwnerPerm.Mode) + QString::number(GroupPerm.Mode) +
                          QString::number(UserPerm.Mode));
}

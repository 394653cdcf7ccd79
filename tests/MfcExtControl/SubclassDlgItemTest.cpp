#include "ColorStatic.h"
#include "DlgItem.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace MfcExtControl;

namespace {

QLabel* MakeStatic(QWidget* parent, int id, const QString& caption, const QRect& geometry)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(geometry);
    SetDlgItemId(label, id);
    return label;
}

int ChildIndex(const QWidget& parent, const QObject* child)
{
    return static_cast<int>(parent.children().indexOf(const_cast<QObject*>(child)));
}

} // namespace

TEST(SubclassDlgItem, LampTakesOverTheTemplateControlsPlaceAndIdentifier)
{
    QWidget dialog;
    QLabel* before = MakeStatic(&dialog, 1012, "CHC", QRect(50, 10, 30, 10));
    QLabel* standIn = MakeStatic(&dialog, 1013, "Rx Err", QRect(115, 10, 30, 12));
    QFont font = standIn->font();
    font.setPointSize(13);
    font.setBold(true);
    standIn->setFont(font);
    QLabel* after = MakeStatic(&dialog, 1014, "Tx", QRect(150, 10, 30, 10));
    const QPointer<QLabel> watchStandIn(standIn);
    CColorStatic lamp; // held by value and destroyed before its parent, as in the window

    ASSERT_TRUE(lamp.SubclassDlgItem(1013, &dialog));

    EXPECT_TRUE(watchStandIn.isNull()) << "the stand-in is removed";
    EXPECT_EQ(GetDlgItem(&dialog, 1013), &lamp);
    EXPECT_EQ(GetDlgItemId(&lamp), 1013);
    EXPECT_EQ(lamp.parentWidget(), &dialog);
    EXPECT_EQ(lamp.geometry(), QRect(115, 10, 30, 12));
    EXPECT_EQ(lamp.text(), "Rx Err");
    EXPECT_EQ(lamp.font(), font);
    EXPECT_TRUE(lamp.alignment() & Qt::AlignHCenter);
    EXPECT_LT(ChildIndex(dialog, before), ChildIndex(dialog, &lamp));
    EXPECT_LT(ChildIndex(dialog, &lamp), ChildIndex(dialog, after)) << "stacking order kept";

    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(lamp.isVisible());
}

TEST(SubclassDlgItem, KeepsVisibilityNestingAndLayoutPosition)
{
    QWidget dialog;
    auto* group = new QGroupBox(&dialog);
    auto* row = new QHBoxLayout(group);
    auto* left = new QLabel("left", group);
    QLabel* standIn = MakeStatic(group, 1033, "Rx", QRect());
    auto* right = new QLabel("right", group);
    row->addWidget(left);
    row->addWidget(standIn);
    row->addWidget(right);
    QLabel* hidden = MakeStatic(&dialog, 1034, "Tx Err", QRect(0, 0, 30, 10));
    hidden->hide();
    dialog.show();
    QCoreApplication::processEvents();

    CColorStatic rxLamp;
    CColorStatic hiddenLamp;
    ASSERT_TRUE(rxLamp.SubclassDlgItem(1033, &dialog));
    ASSERT_TRUE(hiddenLamp.SubclassDlgItem(1034, &dialog));

    EXPECT_EQ(rxLamp.parentWidget(), group);
    EXPECT_EQ(row->indexOf(&rxLamp), 1);
    EXPECT_TRUE(rxLamp.isVisible()) << "a visible window shows the lamp at once";
    EXPECT_FALSE(hiddenLamp.isVisibleTo(&dialog));
}

TEST(SubclassDlgItem, RefusesAMissingControlAndASecondAttachment)
{
    QWidget dialog;
    MakeStatic(&dialog, 1015, "Tx", QRect(0, 0, 30, 10));
    MakeStatic(&dialog, 1016, "Tx Err", QRect(0, 0, 30, 10));
    new QLabel("no identifier", &dialog);
    CColorStatic lamp;

    EXPECT_FALSE(lamp.SubclassDlgItem(4242, &dialog));
    EXPECT_FALSE(lamp.SubclassDlgItem(0, &dialog)) << "a control without identifier is not control 0";
    EXPECT_EQ(lamp.parentWidget(), nullptr);
    EXPECT_FALSE(lamp.SubclassDlgItem(1015, nullptr));

    ASSERT_TRUE(lamp.SubclassDlgItem(1015, &dialog));
    EXPECT_FALSE(lamp.SubclassDlgItem(1016, &dialog));
    EXPECT_NE(GetDlgItem(&dialog, 1016), nullptr) << "the other control is left alone";
    EXPECT_EQ(GetDlgItem(&dialog, 1015), &lamp);
}

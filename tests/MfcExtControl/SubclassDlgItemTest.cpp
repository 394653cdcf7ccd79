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
    EXPECT_EQ(lamp.parentWidget(), &dialog);
    EXPECT_EQ(lamp.geometry(), QRect(115, 10, 30, 12));
    EXPECT_EQ(lamp.text(), "Rx Err");
    EXPECT_EQ(lamp.font(), font);
    EXPECT_TRUE(lamp.alignment() & Qt::AlignHCenter);
    EXPECT_LT(ChildIndex(dialog, before), ChildIndex(dialog, &lamp));
    EXPECT_LT(ChildIndex(dialog, &lamp), ChildIndex(dialog, after)) << "stacking order kept";
}

// A stand-in inside a group box's layout, a hidden one, and what cannot be taken.
TEST(SubclassDlgItem, KeepsNestingLayoutAndVisibilityAndRefusesWhatItCannotTake)
{
    QWidget dialog;
    auto* group = new QGroupBox(&dialog);
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel("left", group));
    row->addWidget(MakeStatic(group, 1033, "Rx", QRect()));
    row->addWidget(new QLabel("right", group));
    MakeStatic(&dialog, 1034, "Tx Err", QRect(0, 0, 30, 10))->hide();
    new QLabel("no identifier", &dialog);
    dialog.show();
    QCoreApplication::processEvents();
    CColorStatic rxLamp;
    CColorStatic hiddenLamp;

    EXPECT_FALSE(rxLamp.SubclassDlgItem(4242, &dialog));
    EXPECT_FALSE(rxLamp.SubclassDlgItem(0, &dialog)) << "a control without identifier is not control 0";
    EXPECT_FALSE(rxLamp.SubclassDlgItem(1033, nullptr));
    EXPECT_EQ(rxLamp.parentWidget(), nullptr);

    ASSERT_TRUE(rxLamp.SubclassDlgItem(1033, &dialog));
    EXPECT_EQ(rxLamp.parentWidget(), group);
    EXPECT_EQ(row->indexOf(&rxLamp), 1);
    EXPECT_TRUE(rxLamp.isVisible()) << "a visible window shows the lamp at once";
    EXPECT_FALSE(rxLamp.SubclassDlgItem(1034, &dialog)) << "already placed";
    EXPECT_NE(GetDlgItem(&dialog, 1034), &rxLamp);

    ASSERT_TRUE(hiddenLamp.SubclassDlgItem(1034, &dialog));
    EXPECT_FALSE(hiddenLamp.isVisibleTo(&dialog));
}

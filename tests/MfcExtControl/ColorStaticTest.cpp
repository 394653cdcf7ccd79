// The indicator lamp: how it paints, how its pulses run, and how it takes a
// template control's place.

#include "ColorStatic.h"
#include "DlgItem.h"
#include "TempDir.h"

#include <QApplication>
#include <QImage>
#include <QPointer>

#include <gtest/gtest.h>

using namespace MfcExtControl;

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr UINT_PTR kPulse = CColorStatic::kPulseTimerId;

// A widget that counts its paintings.
template <typename Base>
struct Counting : Base
{
    using Base::Base;
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        Base::paintEvent(event);
    }
    int paints = 0;
};

// The lamp's background, when its caption is drawn in black.
QColor Background(QWidget& lamp)
{
    const QImage image = lamp.grab().toImage();
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            if (image.pixelColor(x, y) == Qt::black)
                return image.pixelColor(4, 4);
    return QColor();
}

bool ProcessEventsUntil(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

} // namespace

// A window full of lamps flashing with traffic repaints the lamps that
// change, and nothing under them: the button face when dark, the lit colour
// when lit, the caption black on both.
TEST(ColorStatic, RepaintsOnlyItselfAndOnlyWhenItsLookChanges)
{
    Counting<QWidget> parent;
    Counting<CColorStatic> lamp(&parent);
    lamp.setText("Rx");
    lamp.resize(60, 20);
    parent.resize(100, 40);
    parent.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return parent.paints > 0 && lamp.paints > 0; }));
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(Background(lamp), face);
    parent.paints = lamp.paints = 0;

    lamp.Pulse(5000, kRed);
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.paints > 0; }));
    EXPECT_EQ(Background(lamp), QColor(255, 0, 0));
    lamp.paints = 0;
    lamp.OnTimer(CColorStatic::kRepaintTimerId);
    lamp.TurnOn(kRed);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(lamp.paints, 0) << "nothing changed, nothing to repaint";
    lamp.OnTimer(kPulse);
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.paints > 0; }));
    EXPECT_EQ(Background(lamp), face);
    EXPECT_EQ(parent.paints, 0);
}

// Data every 100 ms lights "Rx" from 0 to 250 ms, then from 300; two failed
// opens within five seconds keep the first red pulse; TurnOff darkens at
// once and leaves the running pulse to end by itself.
TEST(ColorStatic, APulseIsNeitherRestartedNorLengthenedNorRecoloured)
{
    CColorStatic lamp;
    lamp.Pulse(lamp.m_pulseDuration);
    lamp.Pulse(1000, RGB(0, 0, 255));
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), kGreen);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 250u);
    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 0u);

    lamp.Pulse(5000, kRed);
    lamp.Pulse(5000, kRed);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
}

// The platform's timer events reach OnTimer under the lamp's identifiers.
TEST(ColorStatic, PlatformTimersEndPulsesAndToggleBlinkingUntilTurnOff)
{
    CColorStatic lamp;
    lamp.Pulse(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    lamp.Blink(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    lamp.TurnOff();
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kBlinkTimerId), 0u);
}

// The lamp takes the template control's place: parent, geometry, caption,
// font, stacking order, visibility and identifier; the stand-in goes.
TEST(ColorStatic, TakesOverATemplateControlsPlace)
{
    QWidget dialog;
    QLabel* labels[3];
    for (int i = 0; i < 3; ++i) {
        labels[i] = new QLabel(QString("label %1").arg(i), &dialog);
        labels[i]->setGeometry(10 + 40 * i, 10, 30, 10 + i);
        SetDlgItemId(labels[i], 1012 + i);
    }
    QFont font = labels[1]->font();
    font.setBold(true);
    labels[1]->setFont(font);
    labels[1]->hide();
    const QPointer<QLabel> standIn(labels[1]);
    CColorStatic lamp;

    EXPECT_FALSE(lamp.SubclassDlgItem(4242, &dialog));
    ASSERT_TRUE(lamp.SubclassDlgItem(1013, &dialog));
    EXPECT_TRUE(standIn.isNull());
    EXPECT_EQ(GetDlgItem(&dialog, 1013), &lamp);
    EXPECT_EQ(lamp.geometry(), QRect(50, 10, 30, 11));
    EXPECT_EQ(lamp.text(), "label 1");
    EXPECT_EQ(lamp.font(), font);
    EXPECT_FALSE(lamp.isVisibleTo(&dialog));
    const QObjectList& order = dialog.children();
    EXPECT_LT(order.indexOf(labels[0]), order.indexOf(&lamp));
    EXPECT_LT(order.indexOf(&lamp), order.indexOf(labels[2]));
    EXPECT_FALSE(lamp.SubclassDlgItem(1014, &dialog)) << "already placed";
}

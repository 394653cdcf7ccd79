// The indicator lamp: how it paints, how its pulses run, and how it takes a
// template control's place.

#include "ColorStatic.h"
#include "DlgItem.h"
#include "TempDir.h"

#include <QApplication>
#include <QImage>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>

using namespace MfcExtControl;

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr UINT_PTR kPulse = CColorStatic::kPulseTimerId;

// A lamp on screen, captioned "Rx", that counts its paintings.
class CountingLamp : public CColorStatic
{
public:
    explicit CountingLamp(QWidget* parent = nullptr) : CColorStatic(parent)
    {
        setText("Rx");
        resize(60, 20);
        show();
        QCoreApplication::processEvents();
        paints = 0;
    }

    int paints = 0;

    QColor Background() { return grab().toImage().pixelColor(4, 4); }
    bool CaptionIsBlack()
    {
        const QImage image = grab().toImage();
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                if (image.pixelColor(x, y) == Qt::black)
                    return true;
        return false;
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        CColorStatic::paintEvent(event);
    }
};

bool ProcessEventsUntil(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

} // namespace

TEST(ColorStatic, PaintsTheButtonFaceOrTheLitColourBehindBlackText)
{
    CountingLamp lamp;
    EXPECT_EQ(lamp.Background(), ButtonFace());
    EXPECT_TRUE(lamp.CaptionIsBlack());
    lamp.TurnOn(kRed);
    EXPECT_EQ(lamp.Background(), QColor(255, 0, 0));
    EXPECT_TRUE(lamp.CaptionIsBlack());
    lamp.TurnOff();
    EXPECT_EQ(lamp.Background(), ButtonFace());
}

// Data every 100 ms lights "Rx" from 0 to 250 ms, then from 300; two failed
// opens within five seconds keep the first red pulse; TurnOff darkens at
// once and leaves the running pulse to end by itself.
TEST(ColorStatic, APulseIsNeitherRestartedNorLengthenedNorRecoloured)
{
    CColorStatic lamp;
    lamp.Pulse(lamp.m_pulseDuration);
    lamp.Pulse(1000, kBlue);
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), kGreen);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 250u);
    lamp.OnTimer(CColorStatic::kRepaintTimerId);  // changes nothing
    EXPECT_TRUE(lamp.IsLit());
    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 0u);

    lamp.Pulse(5000, kRed);
    lamp.Pulse(5000, kRed);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);

    lamp.Pulse(5000, kRed);
    lamp.EndPulse();  // an open that succeeds during a failure's pulse
    lamp.TurnOn(kGreen);
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u) << "no pulse left to darken the lamp of an open port";
}

// A window full of lamps flashing with traffic repaints the lamps that
// change, and nothing under them.
TEST(ColorStatic, RepaintsOnlyItselfAndOnlyWhenItsLookChanges)
{
    struct Parent : QWidget
    {
        int paints = 0;
        void paintEvent(QPaintEvent*) override { ++paints; }
    } parent;
    parent.resize(100, 40);
    parent.show();
    CountingLamp lamp(&parent);
    ASSERT_TRUE(ProcessEventsUntil([&] { return parent.paints > 0; }));
    parent.paints = 0;

    lamp.Pulse(5000, kRed);
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.paints > 0; }));
    lamp.paints = 0;
    lamp.OnTimer(CColorStatic::kRepaintTimerId);
    lamp.TurnOn(kRed);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(lamp.paints, 0) << "nothing changed, nothing to repaint";
    lamp.OnTimer(kPulse);
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.paints > 0; }));
    EXPECT_EQ(lamp.Background(), ButtonFace());
    EXPECT_EQ(parent.paints, 0);
}

// The platform's timer events reach OnTimer under the lamp's identifiers.
TEST(ColorStatic, PlatformTimersEndPulsesAndToggleBlinkingUntilTurnOff)
{
    CColorStatic lamp;
    lamp.Pulse(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    EXPECT_EQ(lamp.PulseTimer(), 0u);

    lamp.Blink(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    lamp.TurnOff();
    EXPECT_EQ(lamp.BlinkTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kBlinkTimerId), 0u);
}

// The lamp takes the template control's place: parent, geometry, caption,
// font, stacking order, visibility and identifier; the stand-in goes.
TEST(ColorStatic, TakesOverATemplateControlsPlace)
{
    QWidget dialog;
    const auto control = [&](int id, const char* caption, const QRect& geometry) {
        auto* label = new QLabel(caption, &dialog);
        label->setGeometry(geometry);
        SetDlgItemId(label, id);
        return label;
    };
    QLabel* before = control(1012, "CHC", QRect(50, 10, 30, 10));
    QLabel* standIn = control(1013, "Rx Err", QRect(115, 10, 30, 12));
    QFont font = standIn->font();
    font.setBold(true);
    standIn->setFont(font);
    QLabel* after = control(1014, "Tx", QRect(150, 10, 30, 10));
    control(1015, "Tx Err", QRect(0, 0, 30, 10))->hide();
    const QPointer<QLabel> gone(standIn);
    CColorStatic lamp;
    CColorStatic hidden;

    EXPECT_FALSE(lamp.SubclassDlgItem(4242, &dialog));
    ASSERT_TRUE(lamp.SubclassDlgItem(1013, &dialog));
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(GetDlgItem(&dialog, 1013), &lamp);
    EXPECT_EQ(lamp.geometry(), QRect(115, 10, 30, 12));
    EXPECT_EQ(lamp.text(), "Rx Err");
    EXPECT_EQ(lamp.font(), font);
    const QObjectList& order = dialog.children();
    EXPECT_LT(order.indexOf(before), order.indexOf(&lamp));
    EXPECT_LT(order.indexOf(&lamp), order.indexOf(after));
    EXPECT_FALSE(lamp.SubclassDlgItem(1015, &dialog)) << "already placed";
    ASSERT_TRUE(hidden.SubclassDlgItem(1015, &dialog));
    EXPECT_FALSE(hidden.isVisibleTo(&dialog));
}

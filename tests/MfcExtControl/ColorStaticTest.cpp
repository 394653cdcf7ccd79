#include "ColorStatic.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using namespace MfcExtControl;

namespace {

::testing::Environment* const kQtApp = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// A lamp that records its paints and the thread each ran on.
class RecordingLamp : public CColorStatic
{
public:
    int paints = 0;
    std::vector<QThread*> paintThreads;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        paintThreads.push_back(QThread::currentThread());
        CColorStatic::paintEvent(event);
    }
};

void ProcessEvents()
{
    QCoreApplication::processEvents();
}

bool ProcessEventsUntil(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil([&] {
        ProcessEvents();
        return condition();
    });
}

// A lamp on screen, 60 x 20 pixels, captioned "Rx".
void ShowLamp(CColorStatic& lamp)
{
    lamp.setText("Rx");
    lamp.resize(60, 20);
    lamp.show();
    ProcessEvents();
}

// Colour of a pixel inside the frame, away from the caption.
QColor InsidePixel(CColorStatic& lamp)
{
    return lamp.grab().toImage().pixelColor(4, 4);
}

bool HasPixelOf(CColorStatic& lamp, const QColor& colour)
{
    const QImage image = lamp.grab().toImage();
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

} // namespace

TEST(ColorRef, KeepsThePlatformByteOrderAndConvertsForPainting)
{
    EXPECT_EQ(RGB(0, 255, 0), 0x0000FF00u);
    EXPECT_EQ(RGB(255, 0, 0), 0x000000FFu);
    EXPECT_EQ(ToQColor(RGB(1, 2, 3)), QColor(1, 2, 3));
    EXPECT_EQ(ToColorRef(QColor(10, 20, 30)), RGB(10, 20, 30));
}

TEST(ColorStatic, NewLampIsDarkWithButtonFaceBackgroundAndBlackText)
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    CColorStatic lamp;

    EXPECT_EQ(lamp.m_pulseDuration, 250);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.BlinkTimer(), 0u);
    EXPECT_EQ(lamp.LitColor(), kGreen);
    EXPECT_EQ(lamp.BackColor(), ToColorRef(buttonFace));
    EXPECT_EQ(lamp.CurrentTextColor(), RGB(0, 0, 0));
    EXPECT_EQ(lamp.BrushesMade(), 2u);

    ShowLamp(lamp);
    EXPECT_EQ(InsidePixel(lamp), buttonFace);
    EXPECT_TRUE(HasPixelOf(lamp, Qt::black)) << "the caption is drawn in black";
}

TEST(ColorStatic, LitLampPaintsItsLitColourBehindBlackText)
{
    CColorStatic lamp;
    ShowLamp(lamp);

    lamp.TurnOn(kRed);
    ProcessEvents();

    EXPECT_EQ(InsidePixel(lamp), QColor(255, 0, 0));
    EXPECT_TRUE(HasPixelOf(lamp, Qt::black));
    EXPECT_EQ(lamp.CurrentBrush().color(), QColor(255, 0, 0));

    lamp.TurnOff();
    ProcessEvents();
    EXPECT_EQ(InsidePixel(lamp), QApplication::palette().color(QPalette::Button));
}

// Data every 100 ms: lit 0-250, dark 250-300, lit again from 300.
TEST(ColorStatic, TrafficPulseIsNeitherRestartedNorLengthenedByLaterData)
{
    CColorStatic lamp;

    lamp.Pulse(lamp.m_pulseDuration); // 0 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_NE(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 250u);
    EXPECT_EQ(lamp.TimersStarted(), 1u);

    lamp.Pulse(lamp.m_pulseDuration); // 100 ms
    lamp.Pulse(lamp.m_pulseDuration); // 200 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimersStarted(), 1u) << "a running pulse must not be restarted";
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 250u);

    lamp.OnTimer(CColorStatic::kPulseTimerId); // 250 ms
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 0u) << "the pulse timer is stopped";

    lamp.Pulse(lamp.m_pulseDuration); // 300 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_NE(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimersStarted(), 2u);
    EXPECT_EQ(lamp.LitColor(), kGreen);
}

TEST(ColorStatic, SecondFailedOpenLeavesTheFirstRedPulseAlone)
{
    CColorStatic lamp;

    lamp.Pulse(5000, kRed);
    lamp.Pulse(5000, kRed);
    lamp.Pulse(1000, RGB(0, 0, 255));

    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), kRed) << "a running pulse is not recoloured";
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 5000u);
    EXPECT_EQ(lamp.TimersStarted(), 1u);

    lamp.OnTimer(CColorStatic::kPulseTimerId);
    EXPECT_FALSE(lamp.IsLit());
}

TEST(ColorStatic, TurnOffDarkensAtOnceAndLeavesTheRunningPulseToEndItself)
{
    CColorStatic lamp;
    lamp.Pulse(250);

    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_NE(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 250u);

    lamp.OnTimer(CColorStatic::kPulseTimerId);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
}

TEST(ColorStatic, BlinkTogglesAndTurnOffStopsIt)
{
    CColorStatic lamp;
    lamp.Blink(500);
    ASSERT_NE(lamp.BlinkTimer(), 0u);

    lamp.OnTimer(CColorStatic::kBlinkTimerId);
    EXPECT_TRUE(lamp.IsLit());
    lamp.OnTimer(CColorStatic::kBlinkTimerId);
    EXPECT_FALSE(lamp.IsLit());
    lamp.OnTimer(CColorStatic::kBlinkTimerId);

    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.BlinkTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kBlinkTimerId), 0u);
}

TEST(ColorStatic, LitBrushIsRemadeOnlyWhenTheColourChanges)
{
    CColorStatic lamp;

    lamp.SetLitColor(kGreen);
    lamp.TurnOn(kGreen);
    EXPECT_EQ(lamp.BrushesMade(), 2u);

    lamp.SetLitColor(kRed);
    EXPECT_EQ(lamp.BrushesMade(), 3u);
    lamp.SetLitColor(kRed);
    lamp.Pulse(1000, kRed);
    EXPECT_EQ(lamp.BrushesMade(), 3u);
    EXPECT_EQ(lamp.CurrentBrush().color(), QColor(255, 0, 0));
}

TEST(ColorStatic, RepaintRequestOnlyRepaintsAndDoesSoAtOnce)
{
    RecordingLamp lamp;
    ShowLamp(lamp);
    lamp.Pulse(5000, kRed);
    ProcessEvents();
    const UINT_PTR pulseTimer = lamp.PulseTimer();

    for (UINT_PTR id : {UINT_PTR(0), UINT_PTR(42)}) {
        const int paintsBefore = lamp.paints;
        lamp.OnTimer(id);
        EXPECT_EQ(lamp.paints, paintsBefore + 1) << "timer " << id;
        EXPECT_TRUE(lamp.IsLit());
        EXPECT_EQ(lamp.PulseTimer(), pulseTimer);
        EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 5000u);
        EXPECT_EQ(lamp.LitColor(), kRed);
    }
}

TEST(ColorStatic, TurnOnAndTurnOffRepaintThroughThePostedRequest)
{
    RecordingLamp lamp;
    ShowLamp(lamp);

    const int paintsBefore = lamp.paints;
    lamp.TurnOn();
    EXPECT_EQ(lamp.paints, paintsBefore) << "the repaint is posted, not run by the caller";
    ProcessEvents();
    EXPECT_GT(lamp.paints, paintsBefore);
    EXPECT_EQ(InsidePixel(lamp), QColor(0, 255, 0));

    const int paintsWhileLit = lamp.paints;
    lamp.TurnOff();
    EXPECT_EQ(lamp.paints, paintsWhileLit);
    ProcessEvents();
    EXPECT_GT(lamp.paints, paintsWhileLit);
    EXPECT_EQ(InsidePixel(lamp), QApplication::palette().color(QPalette::Button));
}

TEST(ColorStatic, PlatformTimersEndPulsesAndToggleBlinking)
{
    CColorStatic lamp;

    lamp.Pulse(20);
    ASSERT_TRUE(lamp.IsLit());
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    EXPECT_EQ(lamp.PulseTimer(), 0u);

    lamp.Blink(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    lamp.TurnOff();
}

TEST(ColorStatic, PostedOperationsRunOnTheLampsThread)
{
    RecordingLamp lamp;
    ShowLamp(lamp);
    lamp.paintThreads.clear();

    std::thread worker([&] { lamp.PostPulse(5000, kRed); });
    worker.join();
    EXPECT_FALSE(lamp.IsLit()) << "the caller's thread must not run the operation";

    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    // Timers start only on the thread that owns the lamp.
    EXPECT_NE(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kPulseTimerId), 5000u);
    EXPECT_EQ(lamp.LitColor(), kRed);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    for (QThread* thread : lamp.paintThreads)
        EXPECT_EQ(thread, lamp.thread());

    std::thread([&] { lamp.PostTurnOff(); }).join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    std::thread([&] { lamp.PostTurnOn(RGB(0, 0, 255)); }).join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_EQ(lamp.LitColor(), RGB(0, 0, 255));
}

TEST(ColorStatic, ManyThreadsPulsingAtOnceGiveOnePulseInOrder)
{
    CColorStatic lamp;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                lamp.PostPulse(lamp.m_pulseDuration);
        });
    for (std::thread& worker : workers)
        worker.join();

    ProcessEvents();
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimersStarted(), 1u);

    // Requests run in the order they were posted.
    std::thread([&] {
        lamp.PostTurnOff();
        lamp.PostTurnOn(kRed);
    }).join();
    ProcessEvents();
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), kRed);
}

TEST(ColorStatic, RequestInFlightToADestroyedLampIsDropped)
{
    auto lamp = std::make_unique<CColorStatic>();
    CColorStatic witness;
    std::thread([&] {
        lamp->PostPulse(250);
        witness.PostPulse(250);
    }).join();
    lamp->TurnOn();
    lamp.reset();

    // The witness's request was posted after the destroyed lamp's: once it
    // has run, the other would have run too (on freed memory) had it survived.
    ASSERT_TRUE(ProcessEventsUntil([&] { return witness.IsLit(); }));
}

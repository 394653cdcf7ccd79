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
constexpr UINT_PTR kPulse = CColorStatic::kPulseTimerId;

// A lamp on screen, captioned "Rx", that records its paints and the thread
// each ran on.
class RecordingLamp : public CColorStatic
{
public:
    RecordingLamp()
    {
        setText("Rx");
        resize(60, 20);
        show();
        QCoreApplication::processEvents();
        paintThreads.clear();
    }

    std::vector<QThread*> paintThreads;

    // Colour of a pixel inside the frame, away from the caption.
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
        paintThreads.push_back(QThread::currentThread());
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

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

} // namespace

TEST(ColorStatic, NewLampIsDarkOnButtonFaceWithBlackText)
{
    RecordingLamp lamp;

    EXPECT_EQ(lamp.m_pulseDuration, 250);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), 0x0000FF00u);
    EXPECT_EQ(lamp.BrushesMade(), 2u);
    EXPECT_EQ(lamp.Background(), ButtonFace());
    EXPECT_TRUE(lamp.CaptionIsBlack());
}

TEST(ColorStatic, TurnOnAndTurnOffRepaintThroughAPostedRequest)
{
    RecordingLamp lamp;

    lamp.TurnOn(kRed);
    EXPECT_TRUE(lamp.paintThreads.empty()) << "the repaint is posted, not run by the caller";
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    EXPECT_EQ(lamp.Background(), QColor(255, 0, 0));
    EXPECT_TRUE(lamp.CaptionIsBlack());

    lamp.paintThreads.clear();
    lamp.TurnOff();
    EXPECT_TRUE(lamp.paintThreads.empty());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    EXPECT_EQ(lamp.Background(), ButtonFace());
}

// Data every 100 ms: lit 0-250, dark 250-300, lit again from 300.
TEST(ColorStatic, TrafficPulseIsNeitherRestartedNorLengthenedByLaterData)
{
    CColorStatic lamp;

    lamp.Pulse(lamp.m_pulseDuration); // 0 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_NE(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 250u);

    lamp.Pulse(lamp.m_pulseDuration); // 100 ms
    lamp.Pulse(lamp.m_pulseDuration); // 200 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimersStarted(), 1u) << "a running pulse must not be restarted";

    lamp.OnTimer(kPulse); // 250 ms
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 0u) << "the pulse timer is stopped";

    lamp.Pulse(lamp.m_pulseDuration); // 300 ms
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimersStarted(), 2u);
    EXPECT_EQ(lamp.LitColor(), kGreen);
}

TEST(ColorStatic, SecondFailedOpenLeavesTheFirstRedPulseAlone)
{
    CColorStatic lamp;

    lamp.Pulse(5000, kRed);
    lamp.Pulse(5000, kRed);
    lamp.Pulse(1000, RGB(0, 0, 255));

    EXPECT_EQ(lamp.LitColor(), kRed) << "a running pulse is not recoloured";
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    EXPECT_EQ(lamp.TimersStarted(), 1u);
    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
}

TEST(ColorStatic, TurnOffDarkensAtOnceAndLeavesTheRunningPulseToEndItself)
{
    CColorStatic lamp;
    lamp.Pulse(250);

    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 250u);

    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
}

TEST(ColorStatic, LitBrushIsRemadeOnlyWhenTheColourChanges)
{
    CColorStatic lamp;

    lamp.SetLitColor(kGreen);
    lamp.TurnOn(kGreen);
    EXPECT_EQ(lamp.BrushesMade(), 2u);

    lamp.SetLitColor(kRed);
    lamp.SetLitColor(kRed);
    lamp.Pulse(1000, kRed);
    EXPECT_EQ(lamp.BrushesMade(), 3u);
    EXPECT_EQ(lamp.CurrentBrush().color(), QColor(255, 0, 0));
}

TEST(ColorStatic, TimerZeroOrAnUnknownTimerOnlyRepaintsAtOnce)
{
    RecordingLamp lamp;
    lamp.Pulse(5000, kRed);
    const UINT_PTR pulseTimer = lamp.PulseTimer();

    for (UINT_PTR id : {UINT_PTR(0), UINT_PTR(42)}) {
        lamp.paintThreads.clear();
        lamp.OnTimer(id);
        EXPECT_EQ(lamp.paintThreads.size(), 1u) << "timer " << id;
        EXPECT_TRUE(lamp.IsLit());
        EXPECT_EQ(lamp.PulseTimer(), pulseTimer);
        EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    }
}

TEST(ColorStatic, PlatformTimersEndPulsesAndToggleBlinkingUntilTurnOff)
{
    CColorStatic lamp;

    lamp.Pulse(20);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    EXPECT_EQ(lamp.PulseTimer(), 0u);

    lamp.Blink(20);
    ASSERT_NE(lamp.BlinkTimer(), 0u);
    EXPECT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !lamp.IsLit(); }));
    lamp.TurnOff();
    EXPECT_EQ(lamp.BlinkTimer(), 0u);
    EXPECT_EQ(lamp.TimerElapse(CColorStatic::kBlinkTimerId), 0u);
}

TEST(ColorStatic, PostedOperationsRunOnTheLampsThread)
{
    RecordingLamp lamp;

    std::thread([&] { lamp.PostPulse(5000, kRed); }).join();
    EXPECT_FALSE(lamp.IsLit()) << "the caller's thread must not run the operation";

    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u) << "timers start only on the lamp's thread";
    EXPECT_EQ(lamp.LitColor(), kRed);
    for (QThread* thread : lamp.paintThreads)
        EXPECT_EQ(thread, lamp.thread());

    std::thread([&] {
        lamp.PostTurnOff();
        lamp.PostTurnOn(RGB(0, 0, 255));
    }).join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.LitColor() == RGB(0, 0, 255); }));
    EXPECT_TRUE(lamp.IsLit()) << "requests run in the order they were posted";
}

TEST(ColorStatic, ManyThreadsPulsingAtOnceGiveOnePulse)
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

    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.IsLit(); }));
    EXPECT_EQ(lamp.TimersStarted(), 1u);
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

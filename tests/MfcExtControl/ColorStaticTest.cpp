#include "ColorStatic.h"
#include "TempDir.h"

#include <QApplication>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using namespace MfcExtControl;

namespace {

// One QApplication for the whole program, the dialog item tests included.
class QtApp : public ::testing::Environment
{
public:
    void SetUp() override { m_app = std::make_unique<QApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[10] = "test_lamp";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};
::testing::Environment* const kQtApp = ::testing::AddGlobalTestEnvironment(new QtApp);

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr UINT_PTR kPulse = CColorStatic::kPulseTimerId;

// A lamp on screen, captioned "Rx", that records the thread of each paint.
class RecordingLamp : public CColorStatic
{
public:
    explicit RecordingLamp(QWidget* parent = nullptr) : CColorStatic(parent)
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

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

} // namespace

// TurnOn and TurnOff only post a repaint: their caller may be a reading
// thread. The lit brush is remade only when its colour really changes.
TEST(ColorStatic, PaintsButtonFaceOrTheLitColourBehindBlackText)
{
    RecordingLamp lamp;
    EXPECT_EQ(lamp.Background(), ButtonFace());
    EXPECT_TRUE(lamp.CaptionIsBlack());
    lamp.SetLitColor(kGreen);
    EXPECT_EQ(lamp.BrushesMade(), 2u);

    lamp.paintThreads.clear(); // the grabs painted
    lamp.TurnOn(kRed);
    EXPECT_TRUE(lamp.paintThreads.empty()) << "the repaint is posted, not run by the caller";
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    EXPECT_EQ(lamp.Background(), QColor(255, 0, 0));
    EXPECT_TRUE(lamp.CaptionIsBlack());
    lamp.SetLitColor(kRed);
    EXPECT_EQ(lamp.BrushesMade(), 3u);

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

// Two failed opens within 5 s, a repaint request (timer 0), then TurnOff
// during the pulse.
TEST(ColorStatic, ErrorPulseIsNotRecolouredAndTurnOffLeavesItToEndItself)
{
    RecordingLamp lamp;

    lamp.Pulse(5000, kRed);
    lamp.Pulse(5000, kRed);
    lamp.Pulse(1000, RGB(0, 0, 255));
    EXPECT_EQ(lamp.LitColor(), kRed) << "a running pulse is not recoloured";
    EXPECT_EQ(lamp.TimersStarted(), 1u);

    lamp.OnTimer(CColorStatic::kRepaintTimerId);
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);

    lamp.TurnOff();
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    lamp.OnTimer(kPulse);
    EXPECT_FALSE(lamp.IsLit());
    EXPECT_EQ(lamp.PulseTimer(), 0u);
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
    RecordingLamp lamp(&parent);
    ASSERT_TRUE(ProcessEventsUntil([&] { return parent.paints > 0; }));
    parent.paints = 0;

    lamp.Pulse(5000, kRed);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    lamp.paintThreads.clear();
    lamp.OnTimer(CColorStatic::kRepaintTimerId);
    lamp.TurnOn(kRed);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(lamp.paintThreads.empty()) << "nothing changed, nothing to repaint";
    lamp.OnTimer(kPulse);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
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

// Reading threads pulse the lamp all at once; the pulse runs, once, on the
// lamp's own thread (timers start only there), and requests keep their order.
TEST(ColorStatic, PostedRequestsFromManyThreadsRunInOrderOnTheLampsThread)
{
    RecordingLamp lamp;
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                lamp.PostPulse(5000, kRed);
        });
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_FALSE(lamp.IsLit()) << "the callers' threads must not run the operation";

    ASSERT_TRUE(ProcessEventsUntil([&] { return !lamp.paintThreads.empty(); }));
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(lamp.LitColor(), kRed);
    EXPECT_EQ(lamp.TimerElapse(kPulse), 5000u);
    EXPECT_EQ(lamp.TimersStarted(), 1u);
    for (QThread* thread : lamp.paintThreads)
        EXPECT_EQ(thread, lamp.thread());

    std::thread([&] {
        lamp.PostTurnOff();
        lamp.PostTurnOn(RGB(0, 0, 255));
    }).join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return lamp.LitColor() == RGB(0, 0, 255); }));
    EXPECT_TRUE(lamp.IsLit());
}

TEST(ColorStatic, RequestInFlightToADestroyedLampIsDropped)
{
    auto lamp = std::make_unique<CColorStatic>();
    CColorStatic witness;
    std::thread([&] {
        lamp->PostPulse(250);
        witness.PostPulse(250);
    }).join();
    lamp.reset();

    // The witness's request was posted after the destroyed lamp's: once it
    // has run, the other would have run too (on freed memory) had it survived.
    ASSERT_TRUE(ProcessEventsUntil([&] { return witness.IsLit(); }));
}

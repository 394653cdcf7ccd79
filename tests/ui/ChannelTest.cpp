// Channels against pseudo-terminals: enable, open and close, what the device
// sends shown in the panes, commands and files sent to it, and shutdown.

#include "WindowTestSupport.h"

#include <PtyPair.h>
#include <Resource.h>
#include <SerialPort.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <termios.h>

using namespace windowtest;
using MfcExtControl::CColorStatic;
using MfcExtControl::RGB;

namespace {

constexpr MfcExtControl::COLORREF kGreen = RGB(0, 255, 0);
constexpr MfcExtControl::COLORREF kRed = RGB(255, 0, 0);

QString WithoutLineFeeds(QString text)
{
    return text.remove(QLatin1Char('\n'));
}

// Printable, without line ends, numbered so that loss or reordering shows.
std::string Pattern(std::size_t size, char tag)
{
    std::string out;
    for (std::size_t n = 0; out.size() < size; ++n)
        out += tag + std::to_string(n) + ' ';
    out.resize(size);
    return out;
}

class Channels : public ::testing::Test
{
protected:
    void Start(const std::vector<std::string>& ports, const std::function<void()>& seed = {})
    {
        stores = std::make_unique<Stores>(ports);
        if (seed)
            seed();
        dlg = MakeWindow();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    void OpenOn(int portCombo, int openButton, const std::string& port)
    {
        PickItem(*dlg, portCombo, QString::fromStdString(port));
        Click(*dlg, openButton);
    }

    bool PaneBecomes(const QString& text, int pane = IDC_SNS_LOG)
    {
        return ProcessUntil([&] { return PaneText(*dlg, pane) == text; });
    }

    bool PaneHolds(int bytes, int pane = IDC_SNS_LOG)
    {
        return ProcessUntil([&] { return WithoutLineFeeds(PaneText(*dlg, pane)).size() >= bytes; });
    }

    // Channel 0 is Open (true) or Ready (false).
    void ExpectOpen(bool open)
    {
        EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SNS_ENABLE), ui::BST_CHECKED);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_ENABLE), !open);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_OPEN), !open);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_CLOSE), open);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_SEND), open);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_SEND_FILE), open);
        for (int id : {IDC_SNS_PORT, IDC_SNS_BAUD, IDC_SNS_COMMAND_EDIT, IDC_SNS_CLEAR, IDC_SNS_LOG})
            EXPECT_TRUE(Enabled(*dlg, id)) << id;  // never greyed
    }

    testsupport::PtyPair device;
    std::unique_ptr<Stores> stores;
    std::unique_ptr<COrvelConfiguratorDlg> dlg;
};

// Channel 0 open on `device`.
class OpenChannel : public Channels
{
protected:
    void SetUp() override
    {
        Start({device.SlavePath()});
        OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
        ASSERT_TRUE(Enabled(*dlg, IDC_SNS_CLOSE));
    }
};

} // namespace

TEST_F(Channels, OpenGoesGreenWithTheChoiceStoredAndCloseGoesBackToReady)
{
    Start({device.SlavePath()});
    PickItem(*dlg, IDC_SNS_BAUD, "9600");
    Click(*dlg, IDC_SNS_OPEN);

    CColorStatic* lamp = Lamp(*dlg, IDC_SNS_LAMP_PORT);
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->LitColor(), kGreen);
    EXPECT_EQ(lamp->PulseTimer(), 0u);
    ExpectOpen(true);
    EXPECT_EQ(StoredText("SnsPort"), device.SlavePath());
    EXPECT_EQ(StoredBaud("SnsPort"), 9600u);
    termios line{};
    ASSERT_EQ(::tcgetattr(device.MasterFd(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));

    // Close: Ready, dark, and the read it cancels pulses "Rx Err" red.
    Click(*dlg, IDC_SNS_CLOSE);
    ExpectOpen(false);
    EXPECT_FALSE(lamp->IsLit());
    CColorStatic* rxErr = Lamp(*dlg, IDC_SNS_LAMP_RX_ERR);
    ASSERT_TRUE(ProcessUntil([&] { return rxErr->IsLit(); }));
    EXPECT_EQ(rxErr->LitColor(), kRed);
    EXPECT_EQ(rxErr->TimerElapse(CColorStatic::kPulseTimerId), 1000u);
    EXPECT_FALSE(Lamp(*dlg, IDC_SNS_LAMP_RX)->IsLit());
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");

    Click(*dlg, IDC_SNS_OPEN);  // the port is free for the next attempt
    ExpectOpen(true);
}

TEST_F(Channels, FailedOpenPulsesRedStoresTheChoiceAndASuccessStaysGreen)
{
    Start({"/dev/orvel-test-no-such-port", device.SlavePath()});
    PickItem(*dlg, IDC_SNS_BAUD, "38400");
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, "/dev/orvel-test-no-such-port");
    CColorStatic* lamp = Lamp(*dlg, IDC_SNS_LAMP_PORT);
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->LitColor(), kRed);
    EXPECT_EQ(lamp->TimerElapse(CColorStatic::kPulseTimerId), 5000u);
    ExpectOpen(false);
    EXPECT_EQ(StoredText("SnsPort"), "/dev/orvel-test-no-such-port");
    EXPECT_EQ(StoredBaud("SnsPort"), 38400u);

    // Opened while the red pulse runs: green, with no pulse left to darken it.
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
    ExpectOpen(true);
    EXPECT_EQ(lamp->LitColor(), kGreen);
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->PulseTimer(), 0u);
}

TEST_F(Channels, EmptyPortOrRateAbandonsOpenSilently)
{
    Start({});
    Click(*dlg, IDC_SNS_OPEN);  // no ports: nothing stored
    ExpectOpen(false);
    EXPECT_FALSE(Lamp(*dlg, IDC_SNS_LAMP_PORT)->IsLit());
    EXPECT_EQ(StoredText("SnsPort"), "COM3");

    // A port but no rate: the port name alone is stored.
    dlg.reset();
    stores.reset();
    Start({device.SlavePath()}, [] { SeedDevice("KksPort", "old", 4800, 1); });
    qobject_cast<QComboBox*>(dlg->GetDlgItem(IDC_KKS_BAUD))->setCurrentIndex(-1);
    Click(*dlg, IDC_KKS_OPEN);
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_CLOSE));
    EXPECT_EQ(StoredText("KksPort"), device.SlavePath());
    EXPECT_EQ(StoredBaud("KksPort"), 4800u);
}

TEST_F(Channels, ClearingTheBoxDisablesAndRewritesTheGroup)
{
    Start({device.SlavePath()});
    Click(*dlg, IDC_KKS_ENABLE);
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredEnabled("KksPort"), 0u);
    EXPECT_EQ(StoredText("KksPort"), "COM4");
    EXPECT_EQ(StoredBaud("KksPort"), 4800u);
    Click(*dlg, IDC_KKS_ENABLE);
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredEnabled("KksPort"), 1u);
}

TEST_F(Channels, EscapeEndsTheWindowAndClosesOpenPorts)
{
    testsupport::PtyPair second;
    stores = std::make_unique<Stores>(std::vector<std::string>{device.SlavePath(), second.SlavePath()});
    COrvelConfiguratorDlg window;
    bool opened = false;
    QTimer::singleShot(0, &window, [&] {
        PickItem(window, IDC_SNS_PORT, QString::fromStdString(device.SlavePath()));
        Click(window, IDC_SNS_OPEN);
        PickItem(window, IDC_SON_PORT, QString::fromStdString(second.SlavePath()));
        Click(window, IDC_SON_OPEN);
        opened = Enabled(window, IDC_SNS_CLOSE) && Enabled(window, IDC_SON_CLOSE);
        QTest::keyClick(window.GetDlgItem(IDC_SNS_COMMAND_EDIT), Qt::Key_Escape);
        window.reject();  // ends the run if the key did not
    });
    EXPECT_EQ(window.DoModal(), QDialog::Rejected);
    ASSERT_TRUE(opened);
    // Both devices are free for another opener at once.
    boost::asio::io_service io;
    serialport::CSerialPort probe(io, {});
    EXPECT_TRUE(probe.Open(device.SlavePath().c_str(), 9600));
    probe.Close();
    EXPECT_TRUE(probe.Open(second.SlavePath().c_str(), 9600));
}

TEST_F(OpenChannel, ChunksAppearEachFollowedByALineFeed)
{
    device.Send("abc");
    ASSERT_TRUE(PaneBecomes("abc\n"));
    CColorStatic* rx = Lamp(*dlg, IDC_SNS_LAMP_RX);
    EXPECT_TRUE(rx->IsLit());
    EXPECT_EQ(rx->LitColor(), kGreen);
    EXPECT_EQ(rx->TimerElapse(CColorStatic::kPulseTimerId), 250u);
    EXPECT_FALSE(Lamp(*dlg, IDC_SNS_LAMP_RX_ERR)->IsLit());
    device.Send("def");
    ASSERT_TRUE(PaneBecomes("abc\ndef\n"));

    // A NUL does not cut the chunk short.
    device.Send(std::string("gh\0ij", 5));
    ASSERT_TRUE(PaneHolds(11));
    EXPECT_EQ(WithoutLineFeeds(PaneText(*dlg, IDC_SNS_LOG)), QString::fromUtf8("abcdefgh␀ij"));
    EXPECT_TRUE(PaneText(*dlg, IDC_SNS_LOG).endsWith('\n'));

    // The end is in view.
    device.Send(std::string(60, '\n'));
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).count('\n') >= 63; }));
    QScrollBar* scroll = qobject_cast<QPlainTextEdit*>(dlg->GetDlgItem(IDC_SNS_LOG))->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum());
}

TEST_F(OpenChannel, ClearAndTypedTextLeaveChunksAppendingAtTheEnd)
{
    device.Send("abc");
    ASSERT_TRUE(PaneBecomes("abc\n"));
    Click(*dlg, IDC_SNS_CLEAR);
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");
    device.Send("def");
    ASSERT_TRUE(PaneBecomes("def\n"));

    auto* pane = qobject_cast<QPlainTextEdit*>(dlg->GetDlgItem(IDC_SNS_LOG));
    Type(*dlg, IDC_SNS_LOG, "note");
    QTest::keyClick(pane, Qt::Key_Home);  // the operator's cursor elsewhere
    device.Send("xyz");
    ASSERT_TRUE(PaneBecomes("def\nnotexyz\n"));
    EXPECT_EQ(pane->textCursor().position(), 4);
}

TEST_F(OpenChannel, BurstArrivesWholeAndInOrder)
{
    const std::string burst = Pattern(600, 'x');
    device.Send(burst);
    ASSERT_TRUE(PaneHolds(600));
    const QString pane = PaneText(*dlg, IDC_SNS_LOG);
    EXPECT_EQ(WithoutLineFeeds(pane), QString::fromStdString(burst));
    const QStringList chunks = pane.split('\n', Qt::SkipEmptyParts);
    EXPECT_GE(chunks.size(), 3);
    for (const QString& chunk : chunks)
        EXPECT_LE(chunk.size(), 256);
}

TEST_F(Channels, TwoChannelsReceiveAtOnceWithoutMixing)
{
    testsupport::PtyPair beacon;
    Start({device.SlavePath(), beacon.SlavePath()});
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
    OpenOn(IDC_KKS_PORT, IDC_KKS_OPEN, beacon.SlavePath());
    const std::string a = Pattern(20000, 'a');
    const std::string b = Pattern(20000, 'b');
    std::thread sendA([&] { device.Send(a); });
    beacon.Send(b);
    sendA.join();
    ASSERT_TRUE(PaneHolds(20000, IDC_SNS_LOG) && PaneHolds(20000, IDC_KKS_LOG));
    EXPECT_EQ(WithoutLineFeeds(PaneText(*dlg, IDC_SNS_LOG)), QString::fromStdString(a));
    EXPECT_EQ(WithoutLineFeeds(PaneText(*dlg, IDC_KKS_LOG)), QString::fromStdString(b));
    EXPECT_EQ(PaneText(*dlg, IDC_SON_LOG), "");
}

TEST_F(OpenChannel, ReadingGoesOnWhileTheWindowThreadIsBusy)
{
    // No event is handled until the device has sent a megabyte, far more
    // than the line buffers hold: the port must keep reading on its own.
    const std::string data = Pattern(1 << 20, 'm');
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        device.Send(data);
        sent = true;
    });
    const bool allSent = testsupport::WaitUntil([&] { return sent.load(); }, std::chrono::seconds(60));
    if (!allSent)
        device.CloseMaster();  // lets the sender go
    sender.join();
    ASSERT_TRUE(allSent);
    ASSERT_TRUE(PaneHolds(static_cast<int>(data.size())));
    EXPECT_EQ(WithoutLineFeeds(PaneText(*dlg, IDC_SNS_LOG)), QString::fromStdString(data));
}

TEST_F(OpenChannel, WindowClosedWhileTheDeviceFloodsEndsCleanly)
{
    Flooder flood(device.MasterFd(), Pattern(4096, 'f'));
    ASSERT_TRUE(PaneHolds(100000));
    dlg.reset();  // closes the port while data keeps coming
    flood.Stop();
    QCoreApplication::processEvents();
    EXPECT_GT(flood.Sent(), 100000u);
}

TEST_F(OpenChannel, CommandsAreSentWithCrLfAdded)
{
    Click(*dlg, IDC_SNS_SEND);  // empty: nothing
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "ABCD");
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(6), "ABCD\r\n");
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_COMMAND_EDIT), Qt::Key_Return);  // Enter sends too
    EXPECT_EQ(device.Receive(6), "ABCD\r\n");
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "ABCD");

    PickItem(*dlg, IDC_SNS_COMMAND, 3);  // a catalogue command keeps its own line end
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(14), "Saveconfig\r\n\r\n");
    dlg->SetDlgItemText(IDC_SNS_COMMAND_EDIT, "\xC4\xE0");  // Cyrillic goes as Windows-1251
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(4), "\xC4\xE0\r\n");
    EXPECT_EQ(device.Drain(), "");
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");  // nothing sent is shown
}

TEST_F(OpenChannel, FileIsSentExactlyAndOnlyARegularNonEmptyFile)
{
    testsupport::TempDir dir;
    std::string bytes(1000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(255 - i % 256);
    std::ofstream(dir.File("data.bin"), std::ios::binary) << bytes;
    std::ofstream(dir.File("empty.bin"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);

    AnswerNextFileDialog(QString::fromStdString(dir.File("data.bin")));
    Click(*dlg, IDC_SNS_SEND_FILE);
    EXPECT_EQ(device.Receive(1000), bytes);
    for (const std::string& path : {dir.File("empty.bin"), dir.File("fifo"), std::string()}) {
        AnswerNextFileDialog(QString::fromStdString(path));  // empty: cancelled
        Click(*dlg, IDC_SNS_SEND_FILE);
        EXPECT_EQ(device.Drain(), "") << path;
    }
    EXPECT_TRUE(dlg->isVisible());
}

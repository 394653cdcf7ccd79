// Channels against pseudo-terminals: enable, open and close, what the device
// sends shown in the panes, commands and files sent to it in the background,
// keys and shutdown.

#include "WindowTestSupport.h"

#include <LogPane.h>
#include <PtyPair.h>
#include <Resource.h>
#include <SerialPort.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace windowtest;
using MfcExtControl::CColorStatic;
using MfcExtControl::RGB;

namespace {

constexpr MfcExtControl::COLORREF kGreen = RGB(0, 255, 0);
constexpr MfcExtControl::COLORREF kRed = RGB(255, 0, 0);

// Printable, without line ends, numbered so that loss or reordering shows.
std::string Pattern(std::size_t size, char tag)
{
    std::string out;
    for (std::size_t n = 0; out.size() < size; ++n)
        out += tag + std::to_string(n) + ' ';
    out.resize(size);
    return out;
}

// Answers modal windows as they come up: `answer` is shown each and says
// when it has done its part. It gives up after half a minute, so that it
// never answers for a later test.
void WhenModal(std::function<bool(QWidget*)> answer)
{
    auto* poll = new QTimer;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, giveUp] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && answer(modal)) || std::chrono::steady_clock::now() > giveUp) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

// A folder this process cannot write to while the object lives: made
// immutable when the process may do that (root), else read-only by mode.
// False when neither holds the process off.
class ScopedReadOnlyFolder
{
public:
    explicit ScopedReadOnlyFolder(const std::string& path) : m_path(path)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (!m_immutable)
            ::chmod(path.c_str(), 0555);
        m_works = ::access(path.c_str(), W_OK) != 0;
    }
    ~ScopedReadOnlyFolder()
    {
        int flags = 0;
        if (m_immutable && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        ::chmod(m_path.c_str(), 0700);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    explicit operator bool() const { return m_works; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_immutable = false;
    bool m_works = false;
};

// What a file dialog proposed: its folder and file name.
struct Proposal
{
    QString folder;
    QString name;
};

// The next file dialog gets `path` typed in and accepted; an empty path
// cancels it. `proposal`, when given, gets what the dialog proposed.
void AnswerNextFileDialog(const QString& path, Proposal* proposal = nullptr)
{
    WhenModal([path, proposal](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (proposal)
            *proposal = {dialog->directory().absolutePath(), name ? name->text() : QString()};
        if (name && !path.isEmpty()) {
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();  // as its Open or Save button does
        }
        if (dialog->isVisible())
            dialog->reject();
        return true;
    });
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The visible progress window of a send, titled with its channel's name.
QProgressDialog* ProgressWindow(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(widget);
        if (progress && progress->isVisible() && progress->windowTitle() == title)
            return progress;
    }
    return nullptr;
}

class Channels : public ::testing::Test
{
protected:
    void Start(const std::vector<std::string>& ports)
    {
        stores = std::make_unique<Stores>(ports);
        dlg = MakeWindow();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    void OpenOn(int portCombo, int openButton, const std::string& port)
    {
        PickItem(*dlg, portCombo, QString::fromStdString(port));
        Click(*dlg, openButton);
    }

    bool PaneBecomes(const QString& text)
    {
        return ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG) == text; });
    }

    bool PaneHolds(int bytes, int pane = IDC_SNS_LOG)
    {
        return ProcessUntil([&] { return PaneText(*dlg, pane).size() >= bytes; });
    }

    // The window has taken the end of channel 0's send.
    bool SendEnds() { return ProcessUntil([&] { return Enabled(*dlg, IDC_SNS_SEND); }); }

    // A send of `size` bytes to a device that never reads: it stays running.
    void StartStalledSend(testsupport::TempDir& dir, std::size_t size = 1 << 20)
    {
        std::ofstream(dir.File("big.bin"), std::ios::binary) << Pattern(size, 'b');
        AnswerNextFileDialog(QString::fromStdString(dir.File("big.bin")));
        Click(*dlg, IDC_SNS_SEND_FILE);
        ASSERT_FALSE(Enabled(*dlg, IDC_SNS_SEND));
        ASSERT_FALSE(Enabled(*dlg, IDC_SNS_SEND_FILE));
    }

    // "Tx" or "Tx Err" has just been lit for the send's outcome, the other not.
    void ExpectTxLamps(bool sent)
    {
        CColorStatic* lit = Lamp(*dlg, sent ? IDC_SNS_LAMP_TX : IDC_SNS_LAMP_TX_ERR);
        EXPECT_TRUE(lit->IsLit());
        EXPECT_EQ(lit->LitColor(), sent ? kGreen : kRed);
        EXPECT_EQ(lit->TimerElapse(CColorStatic::kPulseTimerId), sent ? 250u : 1000u);
        EXPECT_FALSE(Lamp(*dlg, sent ? IDC_SNS_LAMP_TX_ERR : IDC_SNS_LAMP_TX)->IsLit());
    }

    // Channel 0 is Open (true) or Ready (false).
    void ExpectOpen(bool open)
    {
        EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SNS_ENABLE), ui::BST_CHECKED);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_ENABLE), !open);
        EXPECT_EQ(Enabled(*dlg, IDC_SNS_OPEN), !open);
        for (int id : {IDC_SNS_CLOSE, IDC_SNS_SEND, IDC_SNS_SEND_FILE})
            EXPECT_EQ(Enabled(*dlg, id), open) << id;
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

TEST_F(Channels, OpenStoresTheChoiceThenGoesGreenOrPulsesRedAndCloseGoesBackToReady)
{
    Start({"/dev/orvel-test-no-such-port", device.SlavePath()});
    PickItem(*dlg, IDC_SNS_BAUD, "38400");
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, "/dev/orvel-test-no-such-port");
    CColorStatic* lamp = Lamp(*dlg, IDC_SNS_LAMP_PORT);
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->LitColor(), kRed);
    EXPECT_EQ(lamp->TimerElapse(CColorStatic::kPulseTimerId), 5000u);
    ExpectOpen(false);
    EXPECT_EQ(StoredPortName("SnsPort"), "/dev/orvel-test-no-such-port");
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 38400u);

    // Opened while the red pulse runs: green, with no pulse left to darken it.
    PickItem(*dlg, IDC_SNS_BAUD, "9600");
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
    ExpectOpen(true);
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->LitColor(), kGreen);
    EXPECT_EQ(lamp->PulseTimer(), 0u);
    EXPECT_EQ(StoredPortName("SnsPort"), device.SlavePath());
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 9600u);
    termios line{};
    ASSERT_EQ(::tcgetattr(device.MasterFd(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));

    // A chunk shows a read is outstanding (a close before the first read
    // starts cancels none); once "Rx" is dark again the line is quiet.
    device.Send("a");
    CColorStatic* rx = Lamp(*dlg, IDC_SNS_LAMP_RX);
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG) == "a" && !rx->IsLit(); }));

    // Close: Ready, dark, and the read it cancels pulses "Rx Err" red.
    Click(*dlg, IDC_SNS_CLOSE);
    ExpectOpen(false);
    EXPECT_FALSE(lamp->IsLit());
    CColorStatic* rxErr = Lamp(*dlg, IDC_SNS_LAMP_RX_ERR);
    ASSERT_TRUE(ProcessUntil([&] { return rxErr->IsLit(); }));
    EXPECT_EQ(rxErr->LitColor(), kRed);
    EXPECT_EQ(rxErr->TimerElapse(CColorStatic::kPulseTimerId), 1000u);
    EXPECT_FALSE(rx->IsLit());
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "a");

    Click(*dlg, IDC_SNS_OPEN);  // the port is free for the next attempt
    ExpectOpen(true);
}

TEST_F(Channels, WithoutPortsOpenStoresNothingAndTheBoxRewritesTheGroup)
{
    Start({});
    Click(*dlg, IDC_SNS_OPEN);
    ExpectOpen(false);
    EXPECT_FALSE(Lamp(*dlg, IDC_SNS_LAMP_PORT)->IsLit());
    EXPECT_EQ(StoredPortName("SnsPort"), "COM3");

    Click(*dlg, IDC_KKS_ENABLE);
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredNumber("KksPort", "Enabled"), 0u);
    EXPECT_EQ(StoredPortName("KksPort"), "COM4");
    EXPECT_EQ(StoredNumber("KksPort", "BaudRate"), 4800u);
    Click(*dlg, IDC_KKS_ENABLE);
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredNumber("KksPort", "Enabled"), 1u);
}

// Enter in a command edit presses its Send, in a log pane breaks the line,
// and never ends the window. Escape ends it and lets go of every open port.
TEST_F(Channels, EnterNeverEndsTheWindowAndEscapeEndsItClosingOpenPorts)
{
    testsupport::PtyPair second;
    stores = std::make_unique<Stores>(std::vector<std::string>{device.SlavePath(), second.SlavePath()});
    COrvelConfiguratorDlg window;
    bool openAfterEnter = false;
    bool endedByEscape = false;
    std::string sent;
    QTimer::singleShot(0, &window, [&] {
        PickItem(window, IDC_SNS_PORT, QString::fromStdString(device.SlavePath()));
        Click(window, IDC_SNS_OPEN);
        PickItem(window, IDC_SON_PORT, QString::fromStdString(second.SlavePath()));
        Click(window, IDC_SON_OPEN);
        QWidget* edit = window.GetDlgItem(IDC_SNS_COMMAND_EDIT);
        Type(window, IDC_SNS_COMMAND_EDIT, "abcd");
        QTest::keyClick(edit, Qt::Key_Return);
        ProcessUntil([&] { return Enabled(window, IDC_SNS_SEND); });  // the send has ended
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        sent = device.Receive(12);
        Type(window, IDC_SON_LOG, "x");
        QTest::keyClick(window.GetDlgItem(IDC_SON_LOG), Qt::Key_Return);  // a line break in the pane
        openAfterEnter = window.isVisible() && Enabled(window, IDC_SNS_CLOSE) && Enabled(window, IDC_SON_CLOSE);
        QTest::keyClick(edit, Qt::Key_Escape);
        endedByEscape = !window.isVisible();
        window.reject();  // ends the run if the key did not
    });
    EXPECT_EQ(window.DoModal(), QDialog::Rejected);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_TRUE(endedByEscape);
    EXPECT_EQ(sent, "abcd\r\nabcd\r\n");
    EXPECT_EQ(Text(window, IDC_SNS_COMMAND_EDIT), "abcd");
    EXPECT_EQ(PaneText(window, IDC_SON_LOG), "x\n");
    // Both devices are free for another opener at once.
    boost::asio::io_service io;
    serialport::CSerialPort probe(io, {});
    EXPECT_TRUE(probe.Open(device.SlavePath().c_str(), 9600));
    probe.Close();
    EXPECT_TRUE(probe.Open(second.SlavePath().c_str(), 9600));
}

// Reads go on where the last one ended: only the device's line ends break
// its lines.
TEST_F(OpenChannel, ReadsContinueTheDevicesLinesAtTheEndOfThePane)
{
    device.Send("abc");
    ASSERT_TRUE(PaneBecomes("abc"));
    CColorStatic* rx = Lamp(*dlg, IDC_SNS_LAMP_RX);
    EXPECT_TRUE(rx->IsLit());
    EXPECT_EQ(rx->LitColor(), kGreen);
    EXPECT_EQ(rx->TimerElapse(CColorStatic::kPulseTimerId), 250u);
    EXPECT_FALSE(Lamp(*dlg, IDC_SNS_LAMP_RX_ERR)->IsLit());
    device.Send("def\r");
    ASSERT_TRUE(PaneBecomes("abcdef\n"));
    device.Send(std::string("\ngh\0ij", 6));  // ends the CR LF; a NUL does not cut the read short
    ASSERT_TRUE(PaneBecomes(QString::fromUtf8("abcdef\ngh␀ij")));

    // Cleared, the next read starts at the top; the operator's typing stays
    // and so does the caret.
    Click(*dlg, IDC_SNS_CLEAR);
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");
    device.Send("def\n");
    ASSERT_TRUE(PaneBecomes("def\n"));
    auto* pane = qobject_cast<ui::CLogPane*>(dlg->GetDlgItem(IDC_SNS_LOG));
    Type(*dlg, IDC_SNS_LOG, "note");
    QTest::keyClick(pane, Qt::Key_Home);
    device.Send("xyz");
    ASSERT_TRUE(PaneBecomes("def\nnotexyz"));
    EXPECT_EQ(pane->CaretPosition(), 4u);

    // A burst is shown whole and in order, though it came in several reads.
    Click(*dlg, IDC_SNS_CLEAR);
    const std::string burst = Pattern(600, 'x');
    device.Send(burst);
    ASSERT_TRUE(PaneBecomes(QString::fromStdString(burst)));

    // The end is in view.
    device.Send(std::string(60, '\n'));
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).count('\n') == 60; }));
    QScrollBar* scroll = pane->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum());
}

// The window's thread handles no event until both devices have sent far more
// than the line buffers hold: the ports must keep reading on their own, and
// each pane gets exactly its own device's bytes.
TEST_F(Channels, TwoChannelsReceiveAtOnceWithoutMixingWhileTheWindowIsBusy)
{
    testsupport::PtyPair beacon;
    Start({device.SlavePath(), beacon.SlavePath()});
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
    OpenOn(IDC_KKS_PORT, IDC_KKS_OPEN, beacon.SlavePath());
    const std::string a = Pattern(1 << 18, 'a');
    const std::string b = Pattern(1 << 18, 'b');
    std::atomic<int> sent{0};
    std::thread sendA([&] { device.Send(a); ++sent; });
    std::thread sendB([&] { beacon.Send(b); ++sent; });
    const bool allSent = testsupport::WaitUntil([&] { return sent == 2; }, std::chrono::seconds(60));
    if (!allSent) {  // lets the senders go
        device.CloseMaster();
        beacon.CloseMaster();
    }
    sendA.join();
    sendB.join();
    ASSERT_TRUE(allSent);
    ASSERT_TRUE(PaneHolds(1 << 18, IDC_SNS_LOG) && PaneHolds(1 << 18, IDC_KKS_LOG));
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), QString::fromStdString(a));
    EXPECT_EQ(PaneText(*dlg, IDC_KKS_LOG), QString::fromStdString(b));
    EXPECT_EQ(PaneText(*dlg, IDC_SON_LOG), "");
}

TEST_F(OpenChannel, WindowClosedWhileTheDeviceFloodsEndsCleanly)
{
    // The device writes without blocking, so it never waits on a port that
    // is no longer read.
    ::fcntl(device.MasterFd(), F_SETFL, ::fcntl(device.MasterFd(), F_GETFL) | O_NONBLOCK);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const std::string pattern = Pattern(4096, 'f');
        while (!stop) {
            if (::write(device.MasterFd(), pattern.data(), pattern.size()) <= 0) {
                pollfd room{device.MasterFd(), POLLOUT, 0};
                ::poll(&room, 1, 50);
            }
        }
    });
    const bool flooded = PaneHolds(100000);
    dlg.reset();  // closes the port while data keeps coming
    stop = true;
    flood.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(flooded);
}

// One send at a time: while a command goes out the channel's sending buttons
// are greyed; each one that went out whole lights "Tx".
TEST_F(OpenChannel, CommandsAreSentWithCrLfAddedOneAtATime)
{
    Click(*dlg, IDC_SNS_SEND);  // empty: nothing
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "ABCD");
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(6), "ABCD\r\n");
    ASSERT_TRUE(SendEnds());
    ExpectTxLamps(true);
    Click(*dlg, IDC_SNS_SEND);  // again, as soon as the first has gone
    EXPECT_EQ(device.Receive(6), "ABCD\r\n");
    ASSERT_TRUE(SendEnds());

    PickItem(*dlg, IDC_SNS_COMMAND, QString::fromUtf8("Сохранить настройки"));  // keeps its own line end
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(14), "Saveconfig\r\n\r\n");
    ASSERT_TRUE(SendEnds());
    qobject_cast<QLineEdit*>(dlg->GetDlgItem(IDC_SNS_COMMAND_EDIT))->setText(QString::fromUtf8("Да"));
    Click(*dlg, IDC_SNS_SEND);
    EXPECT_EQ(device.Receive(4), "\xC4\xE0\r\n");  // Windows-1251
    ASSERT_TRUE(SendEnds());
    EXPECT_EQ(device.Drain(), "");
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");  // nothing sent is shown
}

// A file goes out whole while the window goes on showing what another
// channel receives; an empty file sends nothing, one that cannot be read
// lights "Tx Err".
TEST_F(Channels, FileIsSentExactlyWhileTheWindowGoesOn)
{
    testsupport::PtyPair beacon;
    Start({device.SlavePath(), beacon.SlavePath()});
    OpenOn(IDC_SNS_PORT, IDC_SNS_OPEN, device.SlavePath());
    OpenOn(IDC_KKS_PORT, IDC_KKS_OPEN, beacon.SlavePath());
    testsupport::TempDir dir;
    std::string bytes(1 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(255 - i % 251);
    std::ofstream(dir.File("data.bin"), std::ios::binary) << bytes;
    std::ofstream(dir.File("empty.bin"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);

    AnswerNextFileDialog(QString::fromStdString(dir.File("data.bin")));
    Click(*dlg, IDC_SNS_SEND_FILE);
    std::string received;
    std::thread reader([&] { received = device.Receive(bytes.size(), std::chrono::seconds(60)); });
    beacon.Send("$GPTXT,while sending\r\n");
    const bool shown = ProcessUntil([&] { return PaneText(*dlg, IDC_KKS_LOG) == "$GPTXT,while sending\n"; });
    reader.join();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(received == bytes) << received.size() << " bytes arrived";
    ASSERT_TRUE(SendEnds());
    ExpectTxLamps(true);

    Lamp(*dlg, IDC_SNS_LAMP_TX)->OnTimer(CColorStatic::kPulseTimerId);
    for (const std::string& path : {dir.File("empty.bin"), std::string(), dir.File("fifo")}) {
        AnswerNextFileDialog(QString::fromStdString(path));  // empty: cancelled
        Click(*dlg, IDC_SNS_SEND_FILE);
        ASSERT_TRUE(SendEnds());
        EXPECT_EQ(device.Drain(), "") << path;
    }
    ExpectTxLamps(false);  // the FIFO is no file to send
}

// A device that takes no bytes holds up nothing: the window goes on, the
// send shows its progress, says the device is not taking data, and ends on
// "Отмена" with the port still open and reading.
TEST_F(OpenChannel, StalledDeviceNeverBlocksTheWindowAndCancelEndsTheSend)
{
    testsupport::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "x");
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_COMMAND_EDIT), Qt::Key_Return);  // greyed: nothing
    device.Send("alive");
    EXPECT_TRUE(PaneBecomes("alive"));

    QProgressDialog* progress = nullptr;
    ASSERT_TRUE(ProcessUntil([&] { return (progress = ProgressWindow(QString::fromUtf8("СНС"))) != nullptr; }));
    EXPECT_TRUE(progress->labelText().contains(QString::fromUtf8(" из 1048576 байт"))) << progress->labelText().toStdString();
    ASSERT_TRUE(ProcessUntil([&] { return progress->labelText().contains(QString::fromUtf8("не принимает данные")); }));
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_TRUE(SendEnds());
    EXPECT_EQ(ProgressWindow(QString::fromUtf8("СНС")), nullptr);
    ExpectTxLamps(false);
    ExpectOpen(true);
    device.Send(" still");
    EXPECT_TRUE(PaneBecomes("alive still"));
}

// Close cancels the channel's send before it closes the port; quitting
// cancels every send. Either way the device is free again at once.
TEST_F(OpenChannel, CloseAndQuitCancelTheSendsOfAStalledDevice)
{
    testsupport::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    Click(*dlg, IDC_SNS_CLOSE);
    ExpectOpen(false);
    ASSERT_TRUE(ProcessUntil([&] { return Lamp(*dlg, IDC_SNS_LAMP_TX_ERR)->IsLit(); }));
    EXPECT_FALSE(Enabled(*dlg, IDC_SNS_SEND));
    boost::asio::io_service io;
    serialport::CSerialPort probe(io, {});
    EXPECT_TRUE(probe.Open(device.SlavePath().c_str(), 9600));
    probe.Close();

    Click(*dlg, IDC_SNS_OPEN);
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    dlg.reset();
    EXPECT_TRUE(probe.Open(device.SlavePath().c_str(), 9600));
}

// "Сохранить в файл…" (Ctrl+S, or the pane's menu) keeps the pane as the
// operator sees it: the bytes as the device sent them, what the operator
// typed, each line break as CR LF. The dialog proposes the channel's name
// and the time in the folder used last.
TEST_F(OpenChannel, PaneIsSavedAsTheBytesItShowsWithCrLfLineEnds)
{
    testsupport::TempDir dir;
    const char sent[] = "$GPTXT,\xCF\xF0\xE8\xE2\xE5\xF2\r\nbell \x07 nul \0 cr\rlast";
    device.Send(std::string(sent, sizeof sent - 1));
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).endsWith("last"); }));
    Type(*dlg, IDC_SNS_LOG, " typed");
    AnswerNextFileDialog(QString::fromStdString(dir.File("first.log")));
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_LOG), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(ProcessUntil([&] { return std::filesystem::exists(dir.File("first.log")); }));
    const char saved[] = "$GPTXT,\xCF\xF0\xE8\xE2\xE5\xF2\r\nbell \x07 nul \0 cr\r\nlast typed";
    EXPECT_EQ(FileBytes(dir.File("first.log")), std::string(saved, sizeof saved - 1));

    Proposal proposal;
    AnswerNextFileDialog(QString(), &proposal);
    QWidget* view = qobject_cast<ui::CLogPane*>(dlg->GetDlgItem(IDC_SNS_LOG))->viewport();
    QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view, &menuRequest);
    QMenu* menu = nullptr;
    ASSERT_TRUE(ProcessUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.back()->text(), QString::fromUtf8("Сохранить в файл…"));
    items.back()->trigger();
    EXPECT_EQ(proposal.folder.toStdString(), dir.Path());
    EXPECT_TRUE(QRegularExpression(QString::fromUtf8("^СНС-\\d{8}-\\d{6}\\.log$")).match(proposal.name).hasMatch())
        << proposal.name.toStdString();
}

// A save takes what the pane held when the file was chosen, while the
// channel keeps receiving. A save that cannot be written says so and leaves
// the file that was there as it was.
TEST_F(OpenChannel, SaveWhileReceivingAndASaveThatCannotBeWritten)
{
    testsupport::TempDir dir;
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        for (int n = 0; !stop; ++n)
            device.Send("$GPTXT,line " + std::to_string(n) + "\r\n");
    });
    const bool flooding = PaneHolds(100000);
    AnswerNextFileDialog(QString::fromStdString(dir.File("live.log")));
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_LOG), Qt::Key_S, Qt::ControlModifier);
    const bool saved = ProcessUntil([&] { return std::filesystem::exists(dir.File("live.log")); });
    QString record = QString::fromLatin1(QByteArray::fromStdString(FileBytes(dir.File("live.log"))));
    record.remove(QLatin1Char('\r'));
    const bool more = ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).size() > record.size(); });
    stop = true;
    flood.join();
    ASSERT_TRUE(flooding && saved && more);
    EXPECT_TRUE(PaneText(*dlg, IDC_SNS_LOG).startsWith(record));
    EXPECT_GE(record.size(), 100000);

    // A folder the program cannot write to.
    std::ofstream(dir.File("old.log")) << "old";
    ScopedReadOnlyFolder readOnly(dir.Path());
    if (!readOnly)
        GTEST_SKIP() << "this file system cannot make a folder read-only for this user";
    QString said;
    WhenModal([](QWidget* modal) {  // yes, replace the old file
        auto* question = qobject_cast<QMessageBox*>(modal);
        if (!question || !question->button(QMessageBox::Yes))
            return false;
        question->button(QMessageBox::Yes)->click();
        return true;
    });
    WhenModal([&](QWidget* modal) {
        auto* report = qobject_cast<QMessageBox*>(modal);
        if (!report || report->button(QMessageBox::Yes))
            return false;
        said = report->text();
        report->accept();
        return true;
    });
    AnswerNextFileDialog(QString::fromStdString(dir.File("old.log")));
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_LOG), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(ProcessUntil([&] { return !said.isEmpty(); }));
    EXPECT_TRUE(said.startsWith(QString::fromUtf8("Не удалось сохранить"))) << said.toStdString();
    EXPECT_EQ(FileBytes(dir.File("old.log")), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "no file left behind";
}


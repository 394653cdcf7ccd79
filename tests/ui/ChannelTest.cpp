// Channels against pseudo-terminals: enable, open and close, what the device
// sends shown in the panes, commands and files sent to it in the background,
// saving a pane, keys and shutdown.

#include "WindowTestSupport.h"

#include <FileSizeLimit.h>
#include <PtyPair.h>
#include <Resource.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace windowtest;
using MfcExtControl::CColorStatic;
using MfcExtControl::COLORREF;
using testsupport::FileBytes;

namespace {

constexpr COLORREF kGreen = MfcExtControl::RGB(0, 255, 0);
constexpr COLORREF kRed = MfcExtControl::RGB(255, 0, 0);
const char kNoSuchPort[] = "/dev/orvel-test-no-such-port";

// One channel's controls, as the window's description numbers them.
struct Panel
{
    const char* name;
    const char* device;  // its settings key
    int enable, port, baud, open, close, edit, send, sendFile, clear, log;
    int lamps[5];        // port lamp, "Rx", "Rx Err", "Tx", "Tx Err"
};
const Panel kPanels[3] = {
    {"СНС", "SnsPort", 1000, 1001, 1002, 1003, 1004, 1006, 1008, 1009, 1010, 1011, {1012, 1013, 1014, 1015, 1016}},
    {"KKC", "KksPort", 1020, 1021, 1022, 1023, 1024, 1026, 1028, 1029, 1030, 1031, {1032, 1033, 1034, 1035, 1036}},
    {"Эхолот", "SonPort", 1037, 1043, 1044, 1045, 1046, 1048, 1050, 1051, 1052, 1053, {1038, 1039, 1040, 1041, 1042}},
};
const Panel& kSns = kPanels[0];
enum LampIndex { kPortLamp, kRx, kRxErr, kTx, kTxErr };

// Printable, without line ends, numbered so that loss or reordering shows.
std::string Pattern(std::size_t size, char tag)
{
    std::string out;
    for (std::size_t n = 0; out.size() < size; ++n)
        out += tag + std::to_string(n) + ' ';
    out.resize(size);
    return out;
}

// The device sends `chunk` over and over while the object lives. It never
// blocks, so it never waits on a port that is no longer read.
struct Flood
{
    Flood(int fd, const std::string& chunk)
        : thread([this, fd, chunk] {
              ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
              for (pollfd room{fd, POLLOUT, 0}; !stop;) {
                  if (::write(fd, chunk.data(), chunk.size()) <= 0)
                      ::poll(&room, 1, 50);
              }
          })
    {
    }
    ~Flood() { stop = true; thread.join(); }
    std::atomic<bool> stop{false};
    std::thread thread;
};

// Holds back the timer events of the lamps given while it lives, so a pulse
// is still running when the test looks at it however slow the machine is.
class LampTimersHeld : public QObject
{
public:
    explicit LampTimersHeld(std::initializer_list<CColorStatic*> lamps) : m_lamps(lamps)
    {
        for (CColorStatic* lamp : m_lamps)
            lamp->installEventFilter(this);
    }
    ~LampTimersHeld() override
    {
        for (CColorStatic* lamp : m_lamps)
            lamp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }

private:
    std::vector<CColorStatic*> m_lamps;
};

void OpenOn(COrvelConfiguratorDlg& window, const Panel& panel, const std::string& port)
{
    PickItem(window, panel.port, QString::fromStdString(port));
    Click(window, panel.open);
}

class Channels : public WindowOnPorts
{
protected:
    // Channel 0 open on `device`.
    void StartOpen()
    {
        Start({device.SlavePath()});
        OpenOn(*dlg, kSns, device.SlavePath());
        ASSERT_TRUE(Enabled(*dlg, kSns.close));
    }

    CColorStatic* Lamp(const Panel& panel, LampIndex lamp)
    {
        return Item<CColorStatic>(*dlg, panel.lamps[lamp]);
    }

    // The lamp is lit in `colour`, in a pulse of `elapse` ms (0: steady).
    void ExpectLit(CColorStatic* lamp, COLORREF colour, unsigned elapse)
    {
        EXPECT_TRUE(lamp->IsLit());
        EXPECT_EQ(lamp->LitColor(), colour);
        EXPECT_EQ(lamp->TimerElapse(CColorStatic::kPulseTimerId), elapse);
    }

    // The pane shows `text`, or at least `bytes` characters; the window has
    // taken the end of the channel's send.
    bool PaneBecomes(const QString& s, const Panel& p = kSns) { return ProcessUntil([&] { return Pane(p) == s; }); }
    bool PaneHolds(int bytes, const Panel& p = kSns) { return ProcessUntil([&] { return Pane(p).size() >= bytes; }); }
    bool SendEnds(const Panel& p = kSns) { return ProcessUntil([&] { return Enabled(*dlg, p.send); }); }
    QString Pane(const Panel& panel) { return PaneText(*dlg, panel.log); }

    // A send of 1 MB to a device that never reads: it stays running.
    void StartStalledSend(testsupport::TempDir& dir)
    {
        std::ofstream(dir.File("big.bin"), std::ios::binary) << Pattern(1 << 20, 'b');
        AnswerNextFileDialog(dir.File("big.bin"));
        Click(*dlg, kSns.sendFile);
        ASSERT_FALSE(Enabled(*dlg, kSns.send) || Enabled(*dlg, kSns.sendFile));
    }

    // The channel is Open (true) or Ready (false). Open, the port and rate
    // lists are greyed: they show what is in effect.
    void ExpectOpen(const Panel& panel, bool open)
    {
        for (int id : {panel.enable, panel.port, panel.baud, panel.open})
            EXPECT_EQ(Enabled(*dlg, id), !open) << id;
        for (int id : {panel.close, panel.send, panel.sendFile})
            EXPECT_EQ(Enabled(*dlg, id), open) << id;
        for (int id : {panel.edit, panel.clear, panel.log})
            EXPECT_TRUE(Enabled(*dlg, id)) << id;  // never greyed
    }

    testsupport::PtyPair device;
};

} // namespace

// Each channel opens its own port and shows only its own device, sends to it
// alone (a file byte for byte), clears its own pane, and lights its own five
// lamps: the port lamp red for 5 s after a failed open and green while open,
// "Rx" for 250 ms with data, "Tx" for 250 ms with a send gone out whole,
// "Rx Err" red for 1 s with the read a close cancels. The window's thread
// handles no event until all three devices have sent far more than the line
// buffers hold: the ports must keep reading on their own, and each pane gets
// exactly its own device's bytes. At last the window closes while a device
// floods.
TEST_F(Channels, EveryChannelIsWiredToItsOwnPortPaneAndLampsAndReadsWhileTheWindowIsBusy)
{
    testsupport::PtyPair devices[3];
    Start({devices[0].SlavePath(), devices[1].SlavePath(), devices[2].SlavePath(), kNoSuchPort});
    testsupport::TempDir dir;
    std::string file;  // every byte value
    for (int i = 0; file.size() < 256 * 1024; ++i)
        file += static_cast<char>(255 - i % 251);
    std::ofstream(dir.File("file.bin"), std::ios::binary) << file;
    const std::string sent[3] = {Pattern(1 << 18, 'a'), Pattern(1 << 18, 'b'), Pattern(1 << 18, 'c')};
    std::vector<std::thread> senders;
    for (int c = 0; c < 3; ++c) {
        const Panel& panel = kPanels[c];
        SCOPED_TRACE(panel.name);
        OpenOn(*dlg, panel, kNoSuchPort);
        ExpectOpen(panel, false);
        ExpectLit(Lamp(panel, kPortLamp), kRed, 5000);
        OpenOn(*dlg, panel, devices[c].SlavePath());
        ExpectOpen(panel, true);
        ExpectLit(Lamp(panel, kPortLamp), kGreen, 0);  // no failure pulse left to darken it
        senders.emplace_back([&, c] { devices[c].Send(sent[c]); });
    }
    for (std::thread& sender : senders)
        sender.join();

    for (int c = 0; c < 3; ++c) {
        const Panel& panel = kPanels[c];
        SCOPED_TRACE(panel.name);
        ASSERT_TRUE(PaneHolds(1 << 18, panel));
        EXPECT_EQ(Pane(panel), QString::fromStdString(sent[c]));
        Click(*dlg, panel.clear);
        EXPECT_EQ(Pane(panel), "");
        {
            const LampTimersHeld held{Lamp(panel, kRx), Lamp(panel, kTx)};
            devices[c].Send(std::string("from ") + panel.device + "\r\n");
            ASSERT_TRUE(PaneBecomes(QString("from %1\n").arg(panel.device), panel));
            ExpectLit(Lamp(panel, kRx), kGreen, 250);
            Type(*dlg, panel.edit, panel.device);
            Click(*dlg, panel.send);
            EXPECT_EQ(devices[c].Receive(9), std::string(panel.device) + "\r\n");
            ASSERT_TRUE(SendEnds(panel));
            ExpectLit(Lamp(panel, kTx), kGreen, 250);
            EXPECT_FALSE(Lamp(panel, kTxErr)->IsLit());
        }
        AnswerNextFileDialog(dir.File("file.bin"));
        Click(*dlg, panel.sendFile);
        EXPECT_TRUE(devices[c].Receive(file.size(), std::chrono::seconds(60)) == file);
        ASSERT_TRUE(SendEnds(panel));
        const LampTimersHeld held{Lamp(panel, kRxErr)};
        Click(*dlg, panel.close);
        ExpectOpen(panel, false);
        EXPECT_FALSE(Lamp(panel, kPortLamp)->IsLit());
        ASSERT_TRUE(ProcessUntil([&] { return Lamp(panel, kRxErr)->IsLit(); }));
        ExpectLit(Lamp(panel, kRxErr), kRed, 1000);
    }
    for (testsupport::PtyPair& d : devices)
        EXPECT_EQ(d.Drain(), "") << "each device got its own bytes only";

    Click(*dlg, kSns.open);
    const Flood flood(devices[0].MasterFd(), Pattern(4096, 'f'));
    EXPECT_TRUE(PaneHolds(100000));
    dlg.reset();
}

// Open stores the port first, then the rate: a rate that cannot be read
// abandons it between the two, the port already stored; without a port it
// stores nothing. A failed open keeps the choice; the line runs at the rate
// stored. (The enable box is shown by the end-to-end walk.)
TEST_F(Channels, OpenStoresThePortThenTheRateAndSetsTheLine)
{
    Start({kNoSuchPort, device.SlavePath()});
    const auto unselect = [&](int id) { Item<QComboBox>(*dlg, id)->setCurrentIndex(-1); };
    unselect(kSns.port);
    Click(*dlg, kSns.open);
    ExpectOpen(kSns, false);
    EXPECT_FALSE(Lamp(kSns, kPortLamp)->IsLit());
    EXPECT_EQ(StoredPortName("SnsPort"), "COM3");

    PickItem(*dlg, kSns.baud, "38400");
    OpenOn(*dlg, kSns, kNoSuchPort);
    EXPECT_EQ(StoredPortName("SnsPort"), kNoSuchPort);
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 38400u);

    unselect(kSns.baud);
    OpenOn(*dlg, kSns, device.SlavePath());
    ExpectOpen(kSns, false);
    EXPECT_EQ(StoredPortName("SnsPort"), device.SlavePath());
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 38400u) << "the old rate, until it is read";

    PickItem(*dlg, kSns.baud, "9600");
    Click(*dlg, kSns.open);
    ExpectOpen(kSns, true);
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 9600u);
    termios line{};
    ASSERT_EQ(::tcgetattr(device.MasterFd(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
}

// Enter in a command edit presses its Send, in a log pane breaks the line,
// and never ends the window. Escape ends it and lets go of every open port.
// A send adds CR LF, after a catalogue command's own line end too; the edit's
// text goes out in Windows-1251; an empty edit sends nothing; nothing sent is
// shown.
TEST_F(Channels, EnterNeverEndsTheWindowAndEscapeEndsItClosingOpenPorts)
{
    testsupport::PtyPair second;
    stores = std::make_unique<Stores>(std::vector<std::string>{device.SlavePath(), second.SlavePath()});
    COrvelConfiguratorDlg window;
    QTimer::singleShot(0, &window, [&] {
        OpenOn(window, kSns, device.SlavePath());
        OpenOn(window, kPanels[2], second.SlavePath());
        auto* edit = Item<QLineEdit>(window, kSns.edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        edit->setText(U("Да"));
        QTest::keyClick(edit, Qt::Key_Return);
        ProcessUntil([&] { return Enabled(window, kSns.send); });  // the send has ended
        PickItem(window, IDC_SNS_COMMAND, U("Сохранить настройки"));
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(device.Receive(18), "\xC4\xE0\r\nSaveconfig\r\n\r\n");
        Type(window, kPanels[2].log, "x");
        QTest::keyClick(window.GetDlgItem(kPanels[2].log), Qt::Key_Return);  // a line break in the pane
        EXPECT_TRUE(window.isVisible() && Enabled(window, kSns.close) && Enabled(window, kPanels[2].close));
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
        window.reject();  // ends the run if the key did not
    });
    EXPECT_EQ(window.DoModal(), QDialog::Rejected);
    EXPECT_EQ(device.Drain(), "");
    EXPECT_EQ(Text(window, kSns.edit), "Saveconfig\r\n");
    EXPECT_EQ(PaneText(window, kSns.log), "");
    EXPECT_EQ(PaneText(window, kPanels[2].log), "x\n");
    EXPECT_TRUE(PortIsFree(device.SlavePath()));
    EXPECT_TRUE(PortIsFree(second.SlavePath()));
}

// A device that takes no bytes holds up nothing: the window goes on, the
// send shows its progress, says the device is not taking data, and ends on
// "Отмена" with the port still open and reading. An empty file sends
// nothing; a FIFO is no file to send. Close, and quitting, cancel a send
// first; the device is free again at once.
TEST_F(Channels, AStalledDeviceNeverBlocksTheWindowAndCancelCloseAndQuitEndTheSend)
{
    ASSERT_NO_FATAL_FAILURE(StartOpen());
    testsupport::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    Type(*dlg, kSns.edit, "x");
    QTest::keyClick(dlg->GetDlgItem(kSns.edit), Qt::Key_Return);  // greyed: nothing
    device.Send("alive");
    EXPECT_TRUE(PaneBecomes("alive"));
    QProgressDialog* progress = nullptr;
    ASSERT_TRUE(ProcessUntil([&] { return (progress = dlg->findChild<QProgressDialog*>()) != nullptr; }));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->windowTitle(), U(kSns.name));
    EXPECT_TRUE(progress->labelText().contains(U(" из 1 048 576 байт")));
    ASSERT_TRUE(ProcessUntil([&] { return progress->labelText().contains(U("не принимает данные")); }));
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_TRUE(SendEnds());
    EXPECT_EQ(dlg->findChild<QProgressDialog*>(), nullptr);
    ExpectLit(Lamp(kSns, kTxErr), kRed, 1000);
    const std::string cancelled = Lamp(kSns, kTxErr)->Tip();
    EXPECT_EQ(cancelled.rfind("Отменено ", 0), 0u) << cancelled;
    EXPECT_NE(cancelled.find(" из 1 048 576 байт"), std::string::npos) << cancelled;
    ExpectOpen(kSns, true);
    device.Send(" still");
    EXPECT_TRUE(PaneBecomes("alive still"));

    Lamp(kSns, kTxErr)->EndPulse();
    std::ofstream(dir.File("empty.bin"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    for (const char* name : {"empty.bin", "fifo"}) {
        EXPECT_FALSE(Lamp(kSns, kTxErr)->IsLit()) << name;
        AnswerNextFileDialog(dir.File(name));
        Click(*dlg, kSns.sendFile);
        EXPECT_TRUE(Enabled(*dlg, kSns.send)) << "no send started for " << name;
    }
    ExpectLit(Lamp(kSns, kTxErr), kRed, 1000);
    EXPECT_EQ(Lamp(kSns, kTxErr)->Tip().rfind("Файл не читается: не обычный файл", 0), 0u) << Lamp(kSns, kTxErr)->Tip();
    Lamp(kSns, kTxErr)->EndPulse();
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    Click(*dlg, kSns.close);
    ExpectOpen(kSns, false);
    ASSERT_TRUE(ProcessUntil([&] { return Lamp(kSns, kTxErr)->IsLit(); }));
    EXPECT_TRUE(PortIsFree(device.SlavePath()));

    Click(*dlg, kSns.open);
    ASSERT_NO_FATAL_FAILURE(StartStalledSend(dir));
    dlg.reset();
    EXPECT_TRUE(PortIsFree(device.SlavePath()));
}

// "Сохранить в файл…" (Ctrl+S, or the pane's menu) keeps the pane as the
// operator sees it: the bytes as the device sent them, what the operator
// typed, each line break as CR LF. A save takes what the pane held when the
// file was chosen while the channel keeps receiving. The dialog proposes the
// channel's name and the time in the folder used last. A save that cannot
// be written says so and leaves the file that was there as it was.
TEST_F(Channels, PaneIsSavedAsTheBytesItShows)
{
    ASSERT_NO_FATAL_FAILURE(StartOpen());
    testsupport::TempDir dir;
    auto* pane = Item<ui::CLogPane>(*dlg, kSns.log);
    const char sent[] = "$GPTXT,\xCF\xF0\xE8\xE2\xE5\xF2\r\nbell \x07 nul \0 cr\rlast";
    device.Send(std::string(sent, sizeof sent - 1));
    ASSERT_TRUE(ProcessUntil([&] { return pane->toPlainText().endsWith("last"); }));
    Type(*dlg, kSns.log, " typed");
    // A save asked for while one is being written does nothing: ask until
    // the dialog comes, then wait for the file.
    const auto save = [&](const std::string& path, QStringList* proposed = nullptr) {
        const std::shared_ptr<bool> answered = AnswerNextFileDialog(path, proposed);
        return ProcessUntil([&] {
            QTest::keyClick(pane, Qt::Key_S, Qt::ControlModifier);
            return *answered;
        }) && ProcessUntil([&] { return path.empty() || std::filesystem::exists(path); });
    };
    std::string live;
    {
        const Flood flood(device.MasterFd(), Pattern(200, 'f') + "\r\n");
        ASSERT_TRUE(PaneHolds(100000) && save(dir.File("live.log")));
        live = FileBytes(dir.File("live.log"));
        ASSERT_TRUE(ProcessUntil([&] { return pane->Text().Size() > live.size(); }));
    }
    const char record[] = "$GPTXT,\xCF\xF0\xE8\xE2\xE5\xF2\r\nbell \x07 nul \0 cr\r\nlast typed";
    EXPECT_EQ(live.substr(0, sizeof record - 1), std::string(record, sizeof record - 1));
    live.erase(std::remove(live.begin(), live.end(), '\r'), live.end());
    EXPECT_EQ(pane->Text().Bytes(0, live.size()), live);

    QStringList proposed;
    ASSERT_TRUE(save(std::string(), &proposed));
    EXPECT_EQ(proposed[0].toStdString(), dir.Path());
    EXPECT_TRUE(QRegularExpression(U("^СНС-\\d{8}-\\d{6}\\.log$")).match(proposed[1]).hasMatch());
    QMenu* menu = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenPaneMenu(*dlg, kSns.log, menu));
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << action->text();
    EXPECT_TRUE(captions.contains(U("Сохранить в файл…"))) << captions.join(", ").toStdString();
    menu->close();

    std::ofstream(dir.File("old.log")) << "old";
    // No file may grow past one byte (root included); a write past it fails
    // instead of raising SIGXFSZ.
    ::signal(SIGXFSZ, SIG_IGN);
    testsupport::CFileSizeLimit full;
    ASSERT_TRUE(full.Set(1));
    QString said;
    WhenModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            said = box->text();
            box->accept();
        }
        return !said.isEmpty();
    });
    ASSERT_TRUE(save(dir.File("old.log")));
    ASSERT_TRUE(ProcessUntil([&] { return !said.isEmpty(); }));
    EXPECT_TRUE(said.startsWith(U("Не удалось сохранить"))) << said.toStdString();
    EXPECT_EQ(FileBytes(dir.File("old.log")), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "nothing left behind";
}

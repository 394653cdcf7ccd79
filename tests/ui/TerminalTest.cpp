// What operators expect of any serial terminal, in the real window against
// pseudo-terminals: lamps that say why, a device that comes back, what was
// sent shown, hex, the command history, and find.

#include "WindowTestSupport.h"

#include <PtyPair.h>
#include <Resource.h>
#include <SerialPort.h>
#include <TempDir.h>

#include <FindBar.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

#include <boost/asio/io_service.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace windowtest;
using MfcExtControl::CColorStatic;
using Mark = ui::CPaneModel::LineMark;
using EventKind = ui::CPaneModel::Event::Kind;

namespace {

// A virtual port: a link, under one name, to whichever pseudo-terminal
// plays the device now.
class VirtualPort
{
public:
    VirtualPort() : m_link(m_dir.File("device")) { Plug(); }

    const std::string& Name() const { return m_link; }
    testsupport::PtyPair& Device() { return *m_device; }
    // The device goes away: its end closes and its name leads nowhere.
    void Pull()
    {
        m_device->CloseMaster();
        std::filesystem::remove(m_link);
    }
    // A device (a new pseudo-terminal) under the same name.
    void Plug()
    {
        m_device = std::make_unique<testsupport::PtyPair>();
        std::filesystem::create_symlink(m_device->SlavePath(), m_link);
    }

private:
    testsupport::TempDir m_dir;
    std::string m_link;
    std::unique_ptr<testsupport::PtyPair> m_device;
};

class Terminal : public WindowOnPorts
{
protected:
    void Open(const std::string& port)
    {
        PickItem(*dlg, IDC_SNS_PORT, QString::fromStdString(port));
        Click(*dlg, IDC_SNS_OPEN);
    }

    // The first channel open on `device`.
    void StartOpen()
    {
        Start({device.SlavePath()});
        Open(device.SlavePath());
    }

    ui::CLogPane* Pane() { return Item<ui::CLogPane>(*dlg, IDC_SNS_LOG); }
    CColorStatic* PortLamp() { return Item<CColorStatic>(*dlg, IDC_SNS_LAMP_PORT); }
    std::string PortTip() { return PortLamp()->Tip(); }
    std::vector<EventKind> Events() { return EventKinds(*Pane()); }

    testsupport::PtyPair device;
};

} // namespace

// The port lamp says its last event and why, from the system's own error,
// and, open, the port and rate in effect.
TEST_F(Terminal, ThePortLampSaysWhyAnOpenFailed)
{
    const std::string missing = "/dev/orvel-test-no-such-port";
    ASSERT_NO_FATAL_FAILURE(Start({missing, device.SlavePath()}));
    Open(missing);
    EXPECT_TRUE(Starts(PortTip(), "Не удалось открыть: нет такого устройства")) << PortTip();

    boost::asio::io_service io;
    serialport::CSerialPort holder(io, {});
    ASSERT_TRUE(holder.Open(device.SlavePath().c_str(), 9600));
    Open(device.SlavePath());
    EXPECT_TRUE(Starts(PortTip(), "Порт занят другой программой")) << PortTip();
    holder.Close();

    PickItem(*dlg, IDC_SNS_BAUD, "4800");
    Open(device.SlavePath());
    ASSERT_TRUE(Enabled(*dlg, IDC_SNS_CLOSE));
    EXPECT_NE(PortTip().find("Порт: " + device.SlavePath() + ", 4800 бод"), std::string::npos) << PortTip();
    Click(*dlg, IDC_SNS_CLOSE);
    EXPECT_TRUE(Starts(PortTip(), "Закрыт ")) << PortTip();
    EXPECT_EQ(Events(), (std::vector<EventKind>{EventKind::Opened, EventKind::Closed}));
}

// A device that goes away keeps its channel open, waiting: the lamp red and
// steady, Close available. The same device back under its name is opened
// again by itself at the same rate, and what it sends then is shown. Close
// ends the waiting: a device back after it is left alone.
TEST_F(Terminal, ADeviceThatComesBackIsOpenedAgainByItself)
{
    VirtualPort port;
    ASSERT_NO_FATAL_FAILURE(Start({port.Name()}));
    Open(port.Name());
    port.Device().Send("before\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG) == "before\n"; }));

    CColorStatic* lamp = PortLamp();
    port.Pull();
    ASSERT_TRUE(ProcessUntil([&] { return Starts(PortTip(), "Связь потеряна"); })) << PortTip();
    EXPECT_TRUE(lamp->IsLit());
    EXPECT_EQ(lamp->LitColor(), MfcExtControl::RGB(255, 0, 0));
    EXPECT_EQ(lamp->PulseTimer(), 0u) << "steady, not a pulse";
    EXPECT_TRUE(Enabled(*dlg, IDC_SNS_CLOSE));
    EXPECT_FALSE(Enabled(*dlg, IDC_SNS_SEND));

    port.Plug();
    ASSERT_TRUE(ProcessUntil([&] { return Starts(PortTip(), "Связь восстановлена"); })) << PortTip();
    EXPECT_EQ(lamp->LitColor(), MfcExtControl::RGB(0, 255, 0));
    EXPECT_TRUE(Enabled(*dlg, IDC_SNS_SEND));
    port.Device().Send("after\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG) == "before\nafter\n"; }));
    EXPECT_EQ(Events(), (std::vector<EventKind>{EventKind::Opened, EventKind::Lost, EventKind::Back}));

    port.Pull();
    ASSERT_TRUE(ProcessUntil([&] { return Starts(PortTip(), "Связь потеряна"); }));
    Click(*dlg, IDC_SNS_CLOSE);
    EXPECT_FALSE(lamp->IsLit());
    port.Plug();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Enabled(*dlg, IDC_SNS_OPEN));
    EXPECT_TRUE(PortIsFree(port.Name())) << "the window left the device alone";
}

// Shown, each command sent is a note of the pane's own, marked apart: not
// received text, nor counted. Up and Down walk the channel's commands, most
// recent first, keeping what was typed, also after a restart.
TEST_F(Terminal, SentCommandsAreShownApartAndWalkedWithUpAndDown)
{
    ASSERT_NO_FATAL_FAILURE(StartOpen());
    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Показывать переданное"));
    device.Send("$GPHDT,251.2,T*31\r\n$GPH");
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).endsWith("$GPH"); }));
    for (const char* command : {"$PSRF,1*00", "b", "b", "c"}) {
        dlg->SetDlgItemText(IDC_SNS_COMMAND_EDIT, "");
        Type(*dlg, IDC_SNS_COMMAND_EDIT, command);
        Click(*dlg, IDC_SNS_SEND);
        ASSERT_TRUE(ProcessUntil([&] { return Enabled(*dlg, IDC_SNS_SEND); }));
    }
    device.Send("DT,251.2,T*31\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return Pane()->Sentences().seen == 2; }));
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "$GPHDT,251.2,T*31\n$PSRF,1*00\nb\nb\nc\n$GPHDT,251.2,T*31\n");
    const Mark marks[] = {Mark::Valid, Mark::Sent, Mark::Sent, Mark::Sent, Mark::Sent, Mark::Valid};
    for (std::size_t line = 0; line < std::size(marks); ++line)
        EXPECT_EQ(Pane()->Model().MarkOf(line), marks[line]) << "line " << line;
    EXPECT_EQ(Pane()->Sentences().broken, 0u) << "a note is no sentence received";

    QWidget* edit = dlg->GetDlgItem(IDC_SNS_COMMAND_EDIT);
    dlg->SetDlgItemText(IDC_SNS_COMMAND_EDIT, "");
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "typed");
    const std::pair<Qt::Key, const char*> walk[] = {{Qt::Key_Up, "c"},          {Qt::Key_Up, "b"},
                                                   {Qt::Key_Up, "$PSRF,1*00"}, {Qt::Key_Up, "$PSRF,1*00"},
                                                   {Qt::Key_Down, "b"},        {Qt::Key_Down, "c"},
                                                   {Qt::Key_Down, "typed"}};
    for (const auto& [key, shown] : walk) {
        QTest::keyClick(edit, key);
        EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT).toStdString(), shown);
    }

    ASSERT_NO_FATAL_FAILURE(Restart());
    QTest::keyClick(dlg->GetDlgItem(IDC_SNS_COMMAND_EDIT), Qt::Key_Up);
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "c");
}

// Hex shows each line as its bytes, the device's line end with them; a copy
// is the hex text; the reader's place stays when the view switches back.
TEST_F(Terminal, HexShowsEveryByteAndCopiesTheHexText)
{
    ASSERT_NO_FATAL_FAILURE(StartOpen());
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    device.Send(all + "\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return Pane()->Text().LineCount() == 4; }));
    ui::CLogPane* pane = Pane();
    const std::size_t first = pane->FirstVisibleLine();
    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Hex"));
    ASSERT_TRUE(pane->IsHex());
    pane->selectAll();
    std::string expected = "00 01 02 03 04 05 06 07 08 09 0A\n0B 0C 0D\n";
    for (int b = 0x0E; b < 256; ++b) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", b);
        expected += hex;
    }
    expected += "0D 0A\n";
    EXPECT_EQ(pane->selectedText().toStdString(), expected);
    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Hex"));
    EXPECT_FALSE(pane->IsHex());
    EXPECT_EQ(pane->FirstVisibleLine(), first);
}

// Ctrl+F opens the find bar; F3 and Shift+F3 find the next and the
// previous match, on any line, letter case as asked, round the ends.
TEST_F(Terminal, FindGoesThroughThePaneBothWays)
{
    ASSERT_NO_FATAL_FAILURE(StartOpen());
    device.Send("ab cd\r\nxx AB\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG) == "ab cd\nxx AB\n"; }));
    ui::CLogPane* pane = Pane();
    pane->setFocus();
    pane->SetSelection(0, 0);
    QTest::keyClick(pane, Qt::Key_F, Qt::ControlModifier);
    auto* needle = pane->FindBar()->findChild<QLineEdit*>();
    ASSERT_TRUE(needle && needle->isVisible());
    QTest::keyClicks(needle, "ab");
    const auto find = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(needle, Qt::Key_F3, modifiers);
        EXPECT_TRUE(ProcessUntil([&] { return pane->FindBar()->Status() != QString::fromUtf8("Поиск…"); }));
        return std::make_pair(pane->AnchorPosition(), pane->CaretPosition());
    };
    EXPECT_EQ(find(Qt::NoModifier), std::make_pair(std::size_t{0}, std::size_t{2}));
    EXPECT_EQ(find(Qt::NoModifier), std::make_pair(std::size_t{9}, std::size_t{11}));
    EXPECT_EQ(find(Qt::NoModifier), std::make_pair(std::size_t{0}, std::size_t{2}));
    EXPECT_EQ(pane->FindBar()->Status(), QString::fromUtf8("Найдено, с другого конца"));
    EXPECT_EQ(find(Qt::ShiftModifier), std::make_pair(std::size_t{9}, std::size_t{11}));
    QTest::mouseClick(pane->FindBar()->findChild<QCheckBox*>(), Qt::LeftButton);
    EXPECT_EQ(find(Qt::NoModifier), std::make_pair(std::size_t{0}, std::size_t{2}));
    needle->setText("zz");
    find(Qt::NoModifier);
    EXPECT_EQ(pane->FindBar()->Status(), QString::fromUtf8("Не найдено"));
    QTest::keyClick(needle, Qt::Key_Escape);
    EXPECT_FALSE(pane->FindBar()->isVisible());
    EXPECT_TRUE(dlg->isVisible()) << "Escape in the bar is the bar's";
}

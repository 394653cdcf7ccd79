// The commissioning aids on a channel's pane menu, in the real window
// against a pseudo-terminal playing the device: the summary of the sentence
// types it sends, and the search for the rate it talks at.

#include "WindowTestSupport.h"

#include <LineSpeed.h>
#include <PtyPair.h>
#include <Resource.h>
#include <Uart.h>

#include <NmeaChecksum.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace windowtest;

namespace {

// A device at a rate of its own: while the program's line is set to another
// rate, what it sends arrives as a UART at that rate would read it.
class RatedDevice
{
public:
    RatedDevice(testsupport::PtyPair& pty, unsigned rate)
        : m_thread([&pty, rate, this] {
              const std::string sentence = commands::WithNmeaChecksum("$GPHDT,251.2,T") + "\r\n";
              while (!m_stop) {
                  const unsigned programRate = devsim::ReaderBaudRate(pty.MasterFd());
                  if (programRate != 0)
                      pty.Send(devsim::AsReceivedAt(sentence, rate, programRate));
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
          })
    {
    }
    ~RatedDevice()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class Aids : public WindowOnPorts
{
protected:
    void OpenAt(const char* rate)
    {
        ASSERT_NO_FATAL_FAILURE(Start({device.SlavePath()}));
        PickItem(*dlg, IDC_SNS_PORT, QString::fromStdString(device.SlavePath()));
        PickItem(*dlg, IDC_SNS_BAUD, rate);
        Click(*dlg, IDC_SNS_OPEN);
        ASSERT_TRUE(Enabled(*dlg, IDC_SNS_CLOSE));
    }

    QProgressDialog* Progress()
    {
        QProgressDialog* progress = nullptr;
        EXPECT_TRUE(ProcessUntil([&] { return (progress = dlg->findChild<QProgressDialog*>()) != nullptr; }));
        return progress;
    }

    testsupport::PtyPair device;
};

} // namespace

// Every sentence type since the last "Очистить", counted as its lines
// arrive whole however the reads split them: bad checksums counted, a type
// without a checksum said so, other lines left out.
TEST_F(Aids, SummaryListsTheSentenceTypesSinceTheLastClear)
{
    ASSERT_NO_FATAL_FAILURE(OpenAt("115200"));
    const std::string good = commands::WithNmeaChecksum("$GPGGA,1,2,3");
    device.Send("plain text\r\n" + good + "\r\n" + good.substr(0, 5));
    device.Send(good.substr(5) + "\r\n$SDDBT,12.3,f,3.7,M\r\n!AIVDM,1,1,,A,13u,0*00\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return PaneText(*dlg, IDC_SNS_LOG).endsWith("*00\n"); }));
    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Сводка"));
    auto* table = dlg->findChild<QTableWidget*>();
    ASSERT_NE(table, nullptr);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c : {0, 1, 4})
            cells << table->item(r, c)->text();
        return cells.join(" ");
    };
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(row(0), U("!AIVDM 1 1"));
    EXPECT_EQ(row(1), U("GPGGA 2 0"));
    EXPECT_EQ(row(2), U("SDDBT 1 без КС"));
    EXPECT_TRUE(table->window()->windowTitle().endsWith(U("СНС")));

    Click(*dlg, IDC_SNS_CLEAR);
    device.Send("$SDDBT,1.0,f,0.3,M\r\n");
    ASSERT_TRUE(ProcessUntil([&] { return table->rowCount() == 1; }));
    EXPECT_EQ(row(0), U("SDDBT 1 без КС"));
}

// The search tries the rates in turn, finds the device's and keeps it as Open
// would: the panel shows it, the settings hold it, the port runs at it, and
// every byte received meanwhile is in the pane. Cancelled, it puts the old
// rate back.
TEST_F(Aids, BaudRateSearchFindsTheDevicesRateOrPutsTheOldOneBack)
{
    ASSERT_NO_FATAL_FAILURE(OpenAt("9600"));
    const RatedDevice talking(device, 38400);
    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Найти скорость"));
    QProgressDialog* progress = Progress();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(ProcessUntil([&] { return progress->labelText().startsWith(U("Найдена")); }));
    EXPECT_EQ(progress->labelText(), U("Найдена скорость 38400 бод"));
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "38400");
    EXPECT_EQ(StoredNumber("SnsPort", "BaudRate"), 38400u);
    EXPECT_EQ(devsim::ReaderBaudRate(device.MasterFd()), 38400u);
    EXPECT_TRUE(Enabled(*dlg, IDC_SNS_CLOSE));
    EXPECT_TRUE(PaneText(*dlg, IDC_SNS_LOG).contains("$GPHDT,251.2,T*"));
    progress->cancel();  // "Закрыть" now

    ASSERT_NO_FATAL_FAILURE(ChooseInPaneMenu(*dlg, IDC_SNS_LOG, "Найти скорость"));
    ASSERT_TRUE(ProcessUntil([&] { return devsim::ReaderBaudRate(device.MasterFd()) == 4800; }));
    Progress()->cancel();
    ASSERT_TRUE(ProcessUntil([&] { return devsim::ReaderBaudRate(device.MasterFd()) == 38400; }));
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "38400");
}

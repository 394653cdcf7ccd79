// Background sends of the real main window (offscreen) to pseudo-terminal
// devices.
//
//   bench_window_send [baud rate, default 4800]
//
// Reports:
//   cancel    a 100 KB file to a device reading at the line's rate (a
//             paced pty: ten bits a byte): how long after "Отмена" the
//             window has the send's end, and what the device still gets
//             after that (what the pty itself holds);
//   quit      a send to a device that reads nothing: how long closing the
//             window takes.
// No thresholds: figures only.

#include "BenchWindow.h"

#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <Resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using bench::Pty;
using bench::RunUntil;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Reads the device end at `bytesPerSecond`, in steps of 10 ms, until told
// to stop; remembers when the last byte came.
class PacedReader
{
public:
    PacedReader(int fd, std::size_t bytesPerSecond)
        : m_thread([this, fd, bytesPerSecond] { Run(fd, bytesPerSecond); })
    {
    }
    ~PacedReader()
    {
        m_stop = true;
        m_thread.join();
    }
    std::size_t Bytes() const { return m_bytes; }
    Clock::time_point LastByte() const { return Clock::time_point(Clock::duration(m_lastByte.load())); }

private:
    void Run(int fd, std::size_t bytesPerSecond)
    {
        const Clock::time_point start = Clock::now();
        char buf[4096];
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            const std::size_t due = static_cast<std::size_t>(seconds * bytesPerSecond);
            if (due <= m_bytes)
                continue;
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 0) <= 0)
                continue;
            const ssize_t n = ::read(fd, buf, std::min(sizeof buf, due - m_bytes));
            if (n > 0) {
                m_bytes += static_cast<std::size_t>(n);
                m_lastByte = Clock::now().time_since_epoch().count();
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_bytes{0};
    std::atomic<Clock::rep> m_lastByte{0};
    std::thread m_thread;
};

QProgressDialog* ProgressWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible())
            return progress;
    return nullptr;
}

void Click(COrvelConfiguratorDlg& dlg, int id)
{
    static_cast<QAbstractButton*>(dlg.GetDlgItem(id))->click();
}

// Opens channel 0 on `port` at `baud` and starts sending `file` on it.
void OpenAndSend(COrvelConfiguratorDlg& dlg, const std::string& port, unsigned baud, const std::string& file)
{
    auto* ports = static_cast<QComboBox*>(dlg.GetDlgItem(IDC_SNS_PORT));
    ports->setCurrentIndex(ports->findText(QString::fromStdString(port)));
    auto* bauds = static_cast<QComboBox*>(dlg.GetDlgItem(IDC_SNS_BAUD));
    bauds->setCurrentIndex(bauds->findText(QString::number(baud)));
    Click(dlg, IDC_SNS_OPEN);
    QTimer::singleShot(0, [file] {
        if (auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file));
            static_cast<QDialog*>(chooser)->accept();
        }
    });
    Click(dlg, IDC_SNS_SEND_FILE);
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned baud = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 4800;
    const std::string folder = bench::UsePrivateFolders();
    QApplication app(argc, argv);
    const std::string file = folder + "/100k.bin";
    std::ofstream(file, std::ios::binary) << std::string(100 * 1024, 'f');

    Pty paced, stalled;
    registry::SetDeviceMapValues({registry::RegValue::String("paced", paced.path),
                                  registry::RegValue::String("stalled", stalled.path)});

    {
        COrvelConfiguratorDlg dlg;
        dlg.Create();
        dlg.show();
        PacedReader reader(paced.master, baud / 10);
        OpenAndSend(dlg, paced.path, baud, file);
        RunUntil([&] { return ProgressWindow() != nullptr && reader.Bytes() > 0; });
        RunUntil([] { return false; }, std::chrono::seconds(2));  // the send under way
        QProgressDialog* progress = ProgressWindow();
        if (!progress) {
            std::fprintf(stderr, "no progress window\n");
            return 1;
        }
        const std::size_t before = reader.Bytes();
        const Clock::time_point cancelled = Clock::now();
        progress->findChild<QAbstractButton*>()->click();
        RunUntil([&] { return dlg.GetDlgItem(IDC_SNS_SEND)->isEnabled(); }, std::chrono::seconds(120));
        const Clock::time_point ended = Clock::now();
        const std::size_t atEnd = reader.Bytes();
        RunUntil([&] { return Clock::now() - reader.LastByte() > std::chrono::seconds(2); },
                 std::chrono::seconds(60));
        std::printf("cancel at %u baud, device reading %u B/s: the window has the send's end %.1f ms after "
                    "\"Отмена\"\n",
                    baud, baud / 10, Ms(ended - cancelled));
        std::printf("  the device got %zu bytes before, %zu until then, %zu in all; its last byte came %.0f ms "
                    "after \"Отмена\"\n",
                    before, atEnd, reader.Bytes(), Ms(reader.LastByte() - cancelled));
        dlg.DestroyWindow();
    }

    {
        auto dlg = std::make_unique<COrvelConfiguratorDlg>();
        dlg->Create();
        dlg->show();
        OpenAndSend(*dlg, stalled.path, baud, file);
        RunUntil([] { return false; }, std::chrono::seconds(1));
        const Clock::time_point start = Clock::now();
        dlg->DestroyWindow();
        const Clock::time_point closed = Clock::now();
        dlg.reset();
        std::printf("\nquit with a send to a device that reads nothing: ports closed after %.1f ms, window gone "
                    "after %.1f ms\n",
                    Ms(closed - start), Ms(Clock::now() - start));
    }
    std::filesystem::remove_all(folder);
    return 0;
}

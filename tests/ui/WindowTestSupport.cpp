#include "WindowTestSupport.h"

#include <RegKey.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace windowtest {

namespace {

std::string KeyOf(const char* device)
{
    return std::string("SOFTWARE\\Lunder\\Orvel4\\") + device;
}

// The raw value, or its type 0 and no data when it cannot be read.
std::string ReadStored(const char* device, const char* name, registry::DWORD& type)
{
    type = 0;
    registry::CRegKey key;
    registry::ULONG size = 512;
    std::string data(size, '\0');
    if (key.Open(registry::HKEY_CURRENT_USER, KeyOf(device).c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS
        || key.QueryValue(name, &type, data.data(), &size) != registry::ERROR_SUCCESS)
        return std::string();
    data.resize(size);
    return data;
}

registry::DWORD StoredDword(const char* device, const char* name)
{
    registry::DWORD type = 0;
    const std::string data = ReadStored(device, name, type);
    registry::DWORD number = 0xDEADBEEF;
    if (type == registry::REG_DWORD && data.size() == 4)
        std::memcpy(&number, data.data(), 4);
    return number;
}

} // namespace

Stores::Stores(const std::vector<std::string>& ports)
{
    registry::SetUserStoreFile(m_dir.File("hkcu.sqlite3"));
    std::vector<registry::RegValue> map;
    for (const std::string& port : ports)
        map.push_back(registry::RegValue::String("\\Device\\Serial" + std::to_string(map.size()), port));
    registry::SetDeviceMapValues(map);
}

Stores::~Stores()
{
    registry::ResetStores();
}

std::string StoredText(const char* device)
{
    registry::DWORD type = 0;
    const std::string data = ReadStored(device, "PortName", type);
    if (type != registry::REG_SZ || data.empty() || data.back() != '\0')
        return "<not a stored text>";
    return data.substr(0, data.size() - 1);
}

registry::DWORD StoredBaud(const char* device)
{
    return StoredDword(device, "BaudRate");
}

registry::DWORD StoredEnabled(const char* device)
{
    return StoredDword(device, "Enabled");
}

void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled)
{
    registry::CRegKey key;
    ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, KeyOf(device).c_str()), registry::ERROR_SUCCESS);
    key.SetStringValue("PortName", portName.c_str());
    key.SetDWORDValue("BaudRate", baud);
    key.SetDWORDValue("Enabled", enabled);
}

std::unique_ptr<COrvelConfiguratorDlg> MakeWindow()
{
    auto dlg = std::make_unique<COrvelConfiguratorDlg>();
    dlg->Create();
    return dlg;
}

QString Text(const ui::CDialogEx& dlg, int id)
{
    std::string text;
    dlg.GetDlgItemText(id, text);
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

QStringList Items(const ui::CDialogEx& dlg, int comboId)
{
    QStringList items;
    if (auto* combo = qobject_cast<QComboBox*>(dlg.GetDlgItem(comboId))) {
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    }
    return items;
}

int Selection(const ui::CDialogEx& dlg, int comboId)
{
    auto* combo = qobject_cast<QComboBox*>(dlg.GetDlgItem(comboId));
    return combo ? combo->currentIndex() : -2;
}

bool Enabled(const ui::CDialogEx& dlg, int id)
{
    QWidget* control = dlg.GetDlgItem(id);
    return control && control->isEnabled();
}

MfcExtControl::CColorStatic* Lamp(const ui::CDialogEx& dlg, int id)
{
    return qobject_cast<MfcExtControl::CColorStatic*>(dlg.GetDlgItem(id));
}

QString PaneText(const ui::CDialogEx& dlg, int id)
{
    auto* pane = qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(id));
    return pane ? pane->toPlainText() : QString("<no pane>");
}

bool ProcessUntil(const std::function<bool()>& condition, std::chrono::milliseconds ceiling)
{
    return testsupport::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        ceiling);
}

void PickItem(ui::CDialogEx& dlg, int comboId, int index)
{
    auto* combo = qobject_cast<QComboBox*>(dlg.GetDlgItem(comboId));
    ASSERT_TRUE(combo && index >= 0 && index < combo->count());
    // Just before the item without notifying (-1: before the first), then
    // onto it with the arrow key.
    combo->setCurrentIndex(index - 1);
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentIndex(), index);
}

void PickItem(ui::CDialogEx& dlg, int comboId, const QString& text)
{
    const int index = Items(dlg, comboId).indexOf(text);
    ASSERT_GE(index, 0) << text.toStdString();
    PickItem(dlg, comboId, index);
}

void Click(ui::CDialogEx& dlg, int id)
{
    auto* button = qobject_cast<QAbstractButton*>(dlg.GetDlgItem(id));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

void Type(ui::CDialogEx& dlg, int id, const QString& text)
{
    QWidget* control = dlg.GetDlgItem(id);
    ASSERT_NE(control, nullptr);
    control->setFocus();
    QTest::keyClicks(control, text);
}

void AnswerNextFileDialog(const QString& path)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible())
                dialog = d;
        }
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"); name && !path.isEmpty()) {
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();  // as its Open button does
        }
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

Flooder::Flooder(int masterFd, std::string pattern) : m_fd(::dup(masterFd)), m_pattern(std::move(pattern))
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] {
        std::size_t offset = 0;
        while (!m_stop) {
            const ssize_t n = ::write(m_fd, m_pattern.data() + offset, m_pattern.size() - offset);
            if (n > 0) {
                m_sent += static_cast<std::size_t>(n);
                offset = (offset + static_cast<std::size_t>(n)) % m_pattern.size();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd room{m_fd, POLLOUT, 0};
                ::poll(&room, 1, 50);
            }
        }
    });
}

Flooder::~Flooder()
{
    Stop();
    ::close(m_fd);
}

void Flooder::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace windowtest

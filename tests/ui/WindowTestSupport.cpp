#include "WindowTestSupport.h"

#include <RegKey.h>
#include <SerialPort.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <chrono>

#include <gtest/gtest.h>

namespace windowtest {

const std::string kDevicesKey = "SOFTWARE\\Lunder\\Orvel4\\";

Stores::Stores(const std::vector<std::string>& ports)
{
    registry::SetUserStoreFile(m_dir.File("hkcu.sqlite3"));
    std::vector<registry::RegValue> map;
    for (const std::string& port : ports)
        map.push_back(registry::RegValue::String("\\Device\\Serial" + std::to_string(map.size()), port));
    registry::SetDeviceMapValues(map);
}

std::string StoredPortName(const char* device)
{
    registry::CRegKey key;
    char text[512];
    registry::ULONG chars = sizeof text;
    const std::string path = kDevicesKey + device;
    if (key.Open(registry::HKEY_CURRENT_USER, path.c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS
        || key.QueryStringValue("PortName", text, &chars) != registry::ERROR_SUCCESS)
        return "<not a stored text>";
    return text;
}

registry::DWORD StoredNumber(const char* device, const char* name)
{
    registry::CRegKey key;
    registry::DWORD number = 0xDEADBEEF;
    const std::string path = kDevicesKey + device;
    if (key.Open(registry::HKEY_CURRENT_USER, path.c_str(), registry::KEY_READ) == registry::ERROR_SUCCESS)
        key.QueryDWORDValue(name, number);
    return number;
}

void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled)
{
    registry::CRegKey key;
    ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, (kDevicesKey + device).c_str()), registry::ERROR_SUCCESS);
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

void Show(COrvelConfiguratorDlg& dlg)
{
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
}

void WindowOnPorts::Start(const std::vector<std::string>& ports)
{
    stores = std::make_unique<Stores>(ports);
    Restart();
}

void WindowOnPorts::Restart()
{
    dlg.reset();
    dlg = MakeWindow();
    Show(*dlg);
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
    const auto* combo = Item<QComboBox>(dlg, comboId);
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

bool PortIsFree(const std::string& path)
{
    boost::asio::io_service io;
    serialport::CSerialPort probe(io, {});
    return probe.Open(path.c_str(), 9600);
}

bool ProcessUntil(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        std::chrono::seconds(60));
}

void PickItem(ui::CDialogEx& dlg, int comboId, const QString& text)
{
    auto* combo = Item<QComboBox>(dlg, comboId);
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    // Just before the item without notifying (-1: before the first), then
    // onto it with the arrow key.
    combo->setCurrentIndex(index - 1);
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentIndex(), index);
}

void Click(ui::CDialogEx& dlg, int id)
{
    QTest::mouseClick(Item<QAbstractButton>(dlg, id), Qt::LeftButton);
}

void Type(ui::CDialogEx& dlg, int id, const QString& text)
{
    dlg.GetDlgItem(id)->setFocus();
    QTest::keyClicks(dlg.GetDlgItem(id), text);
}

void OpenPaneMenu(ui::CDialogEx& dlg, int paneId, QMenu*& menu)
{
    QWidget* view = Item<ui::CLogPane>(dlg, paneId)->viewport();
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view, &request);
    menu = nullptr;
    ASSERT_TRUE(ProcessUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }));
}

void ChooseInPaneMenu(ui::CDialogEx& dlg, int paneId, const char* caption)
{
    QMenu* menu = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenPaneMenu(dlg, paneId, menu));
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == U(caption))
            chosen = action;
    ASSERT_NE(chosen, nullptr) << caption;
    ASSERT_TRUE(chosen->isEnabled()) << caption;
    menu->close();
    chosen->trigger();
}

std::vector<ui::CPaneModel::Event::Kind> EventKinds(const ui::CLogPane& pane)
{
    std::vector<ui::CPaneModel::Event::Kind> kinds;
    for (const auto& event : pane.Model().Events())
        kinds.push_back(event.kind);
    return kinds;
}

void WhenModal(std::function<bool(QWidget*)> answer)
{
    auto* poll = new QTimer;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, giveUp] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && answer(modal)) || std::chrono::steady_clock::now() > giveUp)
            poll->deleteLater();
    });
    poll->start(10);
}

std::shared_ptr<bool> AnswerNextFileDialog(const std::string& path, QStringList* proposed)
{
    auto answered = std::make_shared<bool>(false);
    WhenModal([path, proposed, answered](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (proposed)
            *proposed = {dialog->directory().absolutePath(), name->text()};
        name->setText(QString::fromStdString(path));
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        if (path.empty())
            dialog->reject();
        else
            static_cast<QDialog*>(dialog)->accept();  // as its Open or Save button does
        return *answered = true;
    });
    return answered;
}

} // namespace windowtest

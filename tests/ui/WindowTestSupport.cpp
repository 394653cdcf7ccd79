#include "WindowTestSupport.h"

#include <RegKey.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>

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

} // namespace windowtest

#include "WindowTestSupport.h"

#include <RegKey.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace windowtest {

namespace {

std::string KeyOf(const char* device)
{
    return std::string("SOFTWARE\\Lunder\\Orvel4\\") + device;
}

std::vector<registry::RegValue> DeviceMapOf(const std::vector<std::string>& ports)
{
    std::vector<registry::RegValue> values;
    int n = 0;
    for (const std::string& port : ports)
        values.push_back(registry::RegValue::String("\\Device\\Serial" + std::to_string(n++), port));
    return values;
}

} // namespace

Stores::Stores(const std::vector<std::string>& ports)
{
    registry::SetUserStoreFile(m_dir.File("hkcu.sqlite3"));
    SetPorts(ports);
}

Stores::~Stores()
{
    registry::ResetStores();
}

void Stores::SetPorts(const std::vector<std::string>& ports)
{
    registry::SetDeviceMapValues(DeviceMapOf(ports));
}

StoredValue ReadStored(const char* device, const char* valueName)
{
    StoredValue value;
    registry::CRegKey key;
    if (key.Open(registry::HKEY_CURRENT_USER, KeyOf(device).c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS)
        return value;
    registry::ULONG size = 0;
    if (key.QueryValue(valueName, &value.type, nullptr, &size) != registry::ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    if (key.QueryValue(valueName, &value.type, value.data.data(), &size) != registry::ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = true;
    return value;
}

std::string StoredText(const char* device)
{
    const StoredValue v = ReadStored(device, "PortName");
    if (!v.present || v.type != registry::REG_SZ || v.data.empty() || v.data.back() != '\0')
        return "<not a stored text>";
    return v.data.substr(0, v.data.size() - 1);
}

namespace {

registry::DWORD StoredDword(const char* device, const char* name)
{
    const StoredValue v = ReadStored(device, name);
    if (!v.present || v.type != registry::REG_DWORD || v.data.size() != 4)
        return 0xDEADBEEF;
    registry::DWORD number = 0;
    std::memcpy(&number, v.data.data(), 4);
    return number;
}

} // namespace

registry::DWORD StoredBaud(const char* device)
{
    return StoredDword(device, "BaudRate");
}

registry::DWORD StoredEnabled(const char* device)
{
    return StoredDword(device, "Enabled");
}

int StoredValueCount(const char* device)
{
    registry::CRegKey key;
    if (key.Open(registry::HKEY_CURRENT_USER, KeyOf(device).c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS)
        return -1;
    registry::DWORD values = 0;
    registry::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr);
    return static_cast<int>(values);
}

void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled)
{
    registry::CRegKey key;
    ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, KeyOf(device).c_str()), registry::ERROR_SUCCESS);
    ASSERT_EQ(key.SetStringValue("PortName", portName.c_str()), registry::ERROR_SUCCESS);
    ASSERT_EQ(key.SetDWORDValue("BaudRate", baud), registry::ERROR_SUCCESS);
    ASSERT_EQ(key.SetDWORDValue("Enabled", enabled), registry::ERROR_SUCCESS);
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
    return QString::fromStdString(text);  // only used for ASCII texts
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

void PickItem(ui::CDialogEx& dlg, int comboId, int index)
{
    auto* combo = qobject_cast<QComboBox*>(dlg.GetDlgItem(comboId));
    ASSERT_NE(combo, nullptr);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, combo->count());
    // Stand next to the item without notifying, then step onto it with an
    // arrow key, which notifies as the operator's choice does.
    if (index > 0) {
        combo->setCurrentIndex(index - 1);
        QTest::keyClick(combo, Qt::Key_Down);
    } else {
        ASSERT_GT(combo->count(), 1);
        combo->setCurrentIndex(1);
        QTest::keyClick(combo, Qt::Key_Up);
    }
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

} // namespace windowtest

#include "ComboBox.h"

#include "ControlFactory.h"

#include "QtText.h"

#include <QComboBox>
#include <QVariant>

#include <cstring>

namespace ui {

namespace {

constexpr int kItemDataRole = Qt::UserRole;

QString Decode(const char* text)
{
    return text::ToQString(text);
}

} // namespace

void CComboBox::Attach(QWidget* control)
{
    m_combo = qobject_cast<QComboBox*>(control);
}

bool CComboBox::IsSorted() const
{
    return (ControlStyle(m_combo) & CBS_SORT) != 0;
}

int CComboBox::AddString(const char* text)
{
    if (!m_combo)
        return CB_ERR;
    const QString item = Decode(text);
    int index = m_combo->count();
    if (IsSorted()) {
        // After every item that does not sort after the new one.
        index = 0;
        while (index < m_combo->count()
               && QString::compare(m_combo->itemText(index), item, Qt::CaseInsensitive) <= 0)
            ++index;
    }
    // A list box gains no selection by being filled.
    const bool hadSelection = m_combo->currentIndex() >= 0;
    m_combo->insertItem(index, item, QVariant::fromValue<qulonglong>(0));
    if (!hadSelection)
        m_combo->setCurrentIndex(-1);
    return index;
}

int CComboBox::FindString(int startAfter, const char* prefix) const
{
    if (!m_combo)
        return CB_ERR;
    const int count = m_combo->count();
    if (count == 0)
        return CB_ERR;
    const QString wanted = Decode(prefix);
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int n = 0; n < count; ++n) {
        const int index = (first + n) % count;
        if (m_combo->itemText(index).startsWith(wanted, Qt::CaseInsensitive))
            return index;
    }
    return CB_ERR;
}

int CComboBox::SetCurSel(int index)
{
    if (!m_combo)
        return CB_ERR;
    if (index < 0 || index >= m_combo->count()) {
        m_combo->setCurrentIndex(-1);
        return CB_ERR;
    }
    m_combo->setCurrentIndex(index);
    return index;
}

int CComboBox::GetCurSel() const
{
    return m_combo ? m_combo->currentIndex() : CB_ERR;
}

int CComboBox::GetCount() const
{
    return m_combo ? m_combo->count() : CB_ERR;
}

void CComboBox::ResetContent()
{
    if (m_combo)
        m_combo->clear();
}

int CComboBox::SetItemData(int index, std::uintptr_t data)
{
    if (!m_combo || index < 0 || index >= m_combo->count())
        return CB_ERR;
    m_combo->setItemData(index, QVariant::fromValue<qulonglong>(data), kItemDataRole);
    return 0;
}

int CComboBox::SetItemDataPtr(int index, void* data)
{
    return SetItemData(index, reinterpret_cast<std::uintptr_t>(data));
}

std::uintptr_t CComboBox::GetItemData(int index) const
{
    if (!m_combo || index < 0 || index >= m_combo->count())
        return static_cast<std::uintptr_t>(CB_ERR);
    return static_cast<std::uintptr_t>(m_combo->itemData(index, kItemDataRole).toULongLong());
}

void* CComboBox::GetItemDataPtr(int index) const
{
    return reinterpret_cast<void*>(GetItemData(index));
}

std::string CComboBox::GetLBText(int index) const
{
    if (!m_combo || index < 0 || index >= m_combo->count())
        return std::string();
    return text::FromQString(m_combo->itemText(index));
}

} // namespace ui

#include "ComboBox.h"

#include "ControlFactory.h"
#include "DropDownList.h"
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

// The box behind a handle: Attach takes only combo boxes.
QComboBox* Box(CWnd* control)
{
    return static_cast<QComboBox*>(control);
}

} // namespace

void CComboBox::Attach(CWnd* control)
{
    m_combo = qobject_cast<QComboBox*>(control);
}

void CComboBox::SetBeforeDropDown(std::function<void()> refresh)
{
    if (auto* list = dynamic_cast<CDropDownList*>(m_combo))
        list->SetBeforeDropDown(std::move(refresh));
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
    int index = Box(m_combo)->count();
    if (IsSorted()) {
        // After every item that does not sort after the new one.
        index = 0;
        while (index < Box(m_combo)->count()
               && QString::compare(Box(m_combo)->itemText(index), item, Qt::CaseInsensitive) <= 0)
            ++index;
    }
    // A list box gains no selection by being filled.
    const bool hadSelection = Box(m_combo)->currentIndex() >= 0;
    Box(m_combo)->insertItem(index, item, QVariant::fromValue<qulonglong>(0));
    if (!hadSelection)
        Box(m_combo)->setCurrentIndex(-1);
    return index;
}

int CComboBox::FindString(int startAfter, const char* prefix) const
{
    if (!m_combo)
        return CB_ERR;
    const int count = Box(m_combo)->count();
    if (count == 0)
        return CB_ERR;
    const QString wanted = Decode(prefix);
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int n = 0; n < count; ++n) {
        const int index = (first + n) % count;
        if (Box(m_combo)->itemText(index).startsWith(wanted, Qt::CaseInsensitive))
            return index;
    }
    return CB_ERR;
}

int CComboBox::SetCurSel(int index)
{
    if (!m_combo)
        return CB_ERR;
    if (index < 0 || index >= Box(m_combo)->count()) {
        Box(m_combo)->setCurrentIndex(-1);
        return CB_ERR;
    }
    Box(m_combo)->setCurrentIndex(index);
    return index;
}

int CComboBox::GetCurSel() const
{
    return m_combo ? Box(m_combo)->currentIndex() : CB_ERR;
}

int CComboBox::GetCount() const
{
    return m_combo ? Box(m_combo)->count() : CB_ERR;
}

void CComboBox::ResetContent()
{
    if (m_combo)
        Box(m_combo)->clear();
}

int CComboBox::SetItemData(int index, std::uintptr_t data)
{
    if (!m_combo || index < 0 || index >= Box(m_combo)->count())
        return CB_ERR;
    Box(m_combo)->setItemData(index, QVariant::fromValue<qulonglong>(data), kItemDataRole);
    return 0;
}

int CComboBox::SetItemDataPtr(int index, void* data)
{
    return SetItemData(index, reinterpret_cast<std::uintptr_t>(data));
}

std::uintptr_t CComboBox::GetItemData(int index) const
{
    if (!m_combo || index < 0 || index >= Box(m_combo)->count())
        return static_cast<std::uintptr_t>(CB_ERR);
    return static_cast<std::uintptr_t>(Box(m_combo)->itemData(index, kItemDataRole).toULongLong());
}

void* CComboBox::GetItemDataPtr(int index) const
{
    return reinterpret_cast<void*>(GetItemData(index));
}

std::string CComboBox::GetLBText(int index) const
{
    if (!m_combo || index < 0 || index >= Box(m_combo)->count())
        return std::string();
    return text::FromQString(Box(m_combo)->itemText(index));
}

} // namespace ui

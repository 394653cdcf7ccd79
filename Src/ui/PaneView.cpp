#include "PaneView.h"

namespace ui {

void CPaneView::AddEvent(CPaneModel::Event::Kind kind, std::int64_t timeMs)
{
    m_model.AddEvent(kind, timeMs);
    Repaint();
}

void CPaneView::SetHex(bool hex)
{
    if (hex == m_hex)
        return;
    m_hex = hex;
    m_firstColumn = 0;
    EnsureCaretVisible();
    Repaint();
}

void CPaneView::SetTimesShown(bool shown)
{
    if (shown == m_times)
        return;
    m_times = shown;
    EnsureCaretVisible();
    Repaint();
}

} // namespace ui

#include "PaneSearch.h"

namespace ui {

CPaneSearch::CPaneSearch(const CPaneModel& model, Found found, NotFound notFound)
    : m_model(model), m_found(std::move(found)), m_notFound(std::move(notFound)), m_next([this] { Step(); })
{
}

void CPaneSearch::Start(const std::string& needle, bool forward, bool matchCase)
{
    m_needle = needle;
    m_forward = forward;
    m_matchCase = matchCase;
    Begin();
}

void CPaneSearch::Begin()
{
    const std::size_t from = m_forward ? m_model.SelectionEnd() : m_model.SelectionBegin();
    m_find.emplace(m_needle, from, m_forward ? CPaneFind::Direction::Forward : CPaneFind::Direction::Backward,
                   PaneFindOptions{m_matchCase, true});
    m_edits = m_model.Edits();
    Step();
}

void CPaneSearch::Stop()
{
    m_find.reset();
    m_next.Stop();
}

void CPaneSearch::Step()
{
    if (!m_find)
        return;
    if (m_model.Edits() != m_edits) {
        if (m_model.Text().Empty()) {
            Stop();
            return;
        }
        Begin();
        return;
    }
    switch (m_find->Step(m_model.Text())) {
    case CPaneFind::Status::Searching:
        m_next.StartOnce(0);  // the rest at the next turn, after what is waiting
        return;
    case CPaneFind::Status::Found: {
        const std::size_t begin = m_find->MatchBegin();
        const std::size_t end = m_find->MatchEnd();
        const bool wrapped = m_find->Wrapped();
        m_find.reset();
        m_found(begin, end, wrapped);
        return;
    }
    case CPaneFind::Status::NotFound:
        m_find.reset();
        m_notFound();
        return;
    }
}

} // namespace ui

#include "BaudSearch.h"

#include <algorithm>

namespace traffic {

namespace {

const std::uint32_t kMostLikely[] = {4800, 9600, 38400, 115200};

bool Contains(const std::vector<std::uint32_t>& rates, std::uint32_t rate)
{
    return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

} // namespace

std::vector<std::uint32_t> SearchOrder(const std::vector<std::uint32_t>& rates)
{
    std::vector<std::uint32_t> order;
    for (const std::uint32_t rate : kMostLikely) {
        if (Contains(rates, rate))
            order.push_back(rate);
    }
    for (const std::uint32_t rate : rates) {
        if (!Contains(order, rate))
            order.push_back(rate);
    }
    return order;
}

CBaudSearch::CBaudSearch(const std::vector<std::uint32_t>& rates, Clock::duration listenLimit)
    : m_order(SearchOrder(rates))
    , m_listenLimit(listenLimit)
{
}

CBaudSearch::Action CBaudSearch::Start(std::uint32_t currentRate, Clock::time_point now)
{
    m_state = State::Running;
    m_originalRate = currentRate;
    m_next = 0;
    m_anyBytes = false;
    return TryNextRate(now);
}

void CBaudSearch::OnBytes(const char* data, std::size_t size)
{
    if (m_state != State::Running || size == 0)
        return;
    m_anyBytes = true;
    m_score.Add(data, size);
}

CBaudSearch::Action CBaudSearch::OnTick(Clock::time_point now)
{
    if (m_state != State::Running)
        return m_end;
    if (Passes())
        return End(Step::Found, Rate());
    if (now - m_switched >= m_listenLimit || Hopeless())
        return TryNextRate(now);
    return {Step::Listen, Rate()};
}

CBaudSearch::Action CBaudSearch::Cancel()
{
    if (m_state == State::Running)
        return End(Step::Cancelled, m_originalRate);
    return m_end;
}

CBaudSearch::Action CBaudSearch::TryNextRate(Clock::time_point now)
{
    if (m_next == m_order.size())
        return End(m_anyBytes ? Step::NoRateFound : Step::NoAnswer, m_originalRate);
    ++m_next;
    m_switched = now;
    m_score = CLineScore();
    return {Step::SwitchTo, Rate()};
}

CBaudSearch::Action CBaudSearch::End(Step step, std::uint32_t rate)
{
    m_state = State::Ended;
    m_end = {step, rate};
    return m_end;
}

} // namespace traffic

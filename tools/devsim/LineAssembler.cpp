#include "LineAssembler.h"

namespace devsim {

std::vector<std::string> CLineAssembler::Feed(const char* data, std::size_t size)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (!m_discarding) {
                if (!m_partial.empty() && m_partial.back() == '\r')
                    m_partial.pop_back();
                lines.push_back(std::move(m_partial));
            }
            m_partial.clear();
            m_discarding = false;
        } else if (!m_discarding) {
            m_partial += c;
            if (m_partial.size() > kMaxLine) {
                m_partial.clear();
                m_discarding = true;
            }
        }
    }
    return lines;
}

void CLineAssembler::Reset()
{
    m_partial.clear();
    m_discarding = false;
}

} // namespace devsim

#include "LineScore.h"

#include "PrintableText.h"

#include <algorithm>

namespace traffic {

namespace {

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

void CLineScore::Add(const char* data, std::size_t size)
{
    const char* const end = data + size;
    while (data != end) {
        const char* const lineBreak = std::find_if(data, end, IsLineBreak);
        AddToLine(data, static_cast<std::size_t>(lineBreak - data));
        if (lineBreak == end)
            return;
        if (m_lineStarted || m_check.GetKind() == commands::CSentenceCheck::Kind::Valid)
            EndLine();
        else
            ForgetLine();
        m_lineStarted = true;
        data = lineBreak + 1;
    }
}

void CLineScore::AddToLine(const char* data, std::size_t size)
{
    m_check.Add(data, size);
    m_lineSize += size;
    if (m_printable)
        m_printable = std::all_of(data, data + size, IsPrintable);
}

void CLineScore::EndLine()
{
    using Kind = commands::CSentenceCheck::Kind;
    if (m_lineSize > 0) {
        ++m_lines;
        const Kind kind = m_check.GetKind();
        const bool good = kind == Kind::Valid || (kind != Kind::Broken && m_printable);
        if (good || m_scored > 0) {
            ++m_scored;
            m_good += good ? 1 : 0;
        }
    }
    ForgetLine();
}

void CLineScore::ForgetLine()
{
    m_check = commands::CSentenceCheck();
    m_printable = true;
    m_lineSize = 0;
}

} // namespace traffic

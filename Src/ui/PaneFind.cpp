#include "PaneFind.h"

#include <algorithm>
#include <array>
#include <limits>
#include <functional>
#include <string_view>

namespace ui {

namespace {

// Windows-1251's capitals and their small letters.
constexpr std::array<unsigned char, 256> MakeFoldTable()
{
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(b);
    for (unsigned b = 'A'; b <= 'Z'; ++b)
        table[b] = static_cast<unsigned char>(b + 0x20);
    for (unsigned b = 0xC0; b <= 0xDF; ++b)  // А..Я
        table[b] = static_cast<unsigned char>(b + 0x20);
    const unsigned char pairs[][2] = {
        {0xA8, 0xB8},  // Ё ё
        {0xA1, 0xA2},  // Ў ў
        {0xAA, 0xBA},  // Є є
        {0xAF, 0xBF},  // Ї ї
        {0xB2, 0xB3},  // І і
        {0xA5, 0xB4},  // Ґ ґ
        {0x80, 0x90},  // Ђ ђ
        {0x81, 0x83},  // Ѓ ѓ
        {0x8A, 0x9A},  // Љ љ
        {0x8C, 0x9C},  // Њ њ
        {0x8D, 0x9D},  // Ќ ќ
        {0x8E, 0x9E},  // Ћ ћ
        {0x8F, 0x9F},  // Џ џ
        {0xA3, 0xBC},  // Ј ј
        {0xBD, 0xBE},  // Ѕ ѕ
    };
    for (const auto& pair : pairs)
        table[pair[0]] = pair[1];
    return table;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

} // namespace

unsigned char FoldCase1251(unsigned char byte)
{
    return kFold[byte];
}

CPaneFind::CPaneFind(std::string needle, std::size_t from, Direction direction, Options options)
    : m_needle(std::move(needle)), m_from(from), m_direction(direction), m_options(options), m_next(from)
{
    if (!m_options.matchCase) {
        for (char& c : m_needle)
            c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
    }
}

bool CPaneFind::NextWindow(std::size_t size, std::size_t budget, Window& window)
{
    const std::size_t length = m_needle.size();
    const bool forward = m_direction == Direction::Forward;
    for (;;) {
        // Where a match may begin: [0, starts).
        const std::size_t starts = length > 0 && size >= length ? size - length + 1 : 0;
        std::size_t first = 0;
        std::size_t last = 0;
        if (forward) {
            first = m_next;
            last = m_pass == 0 ? starts : std::min(m_from, starts);
        } else {
            first = m_pass == 0 ? 0 : m_from;
            last = std::min(m_next, starts);
        }
        if (first < last) {
            const std::size_t count = std::min(budget, last - first);
            window = forward ? Window{first, first + count} : Window{last - count, last};
            return true;
        }
        if (m_pass == 0 && m_options.wrap && starts > 0) {
            m_pass = 1;
            m_next = forward ? 0 : std::numeric_limits<std::size_t>::max();
            continue;
        }
        m_status = Status::NotFound;
        return false;
    }
}

void CPaneFind::Load(const char* data, std::size_t size)
{
    const std::size_t at = m_loaded.size();
    m_loaded.append(data, size);
    if (m_options.matchCase)
        return;
    for (auto it = m_loaded.begin() + static_cast<std::ptrdiff_t>(at); it != m_loaded.end(); ++it)
        *it = static_cast<char>(kFold[static_cast<unsigned char>(*it)]);
}

namespace {

// Forward, the library's search: memchr for the needle's first byte, then a
// compare.
std::size_t FindFirst(const std::string& bytes, const std::string& needle)
{
    return std::string_view(bytes).find(needle);
}

// Backward there is no memrchr everywhere, and rfind compares at every
// position: Boyer-Moore-Horspool on the bytes and the needle read backward
// skips up to a needle's length at a time.
std::size_t FindLast(const std::string& bytes, const std::string& needle)
{
    const auto at = std::search(bytes.rbegin(), bytes.rend(),
                                std::boyer_moore_horspool_searcher(needle.rbegin(), needle.rend()));
    if (at == bytes.rend())
        return std::string::npos;
    return bytes.size() - static_cast<std::size_t>(at - bytes.rbegin()) - needle.size();
}

} // namespace

void CPaneFind::SearchLoaded(const Window& window)
{
    // The loaded bytes end a needle's length less one past the window's
    // last position (or at the text's end), so any match in them begins in
    // the window.
    const std::size_t at =
        m_direction == Direction::Forward ? FindFirst(m_loaded, m_needle) : FindLast(m_loaded, m_needle);
    if (at == std::string::npos) {
        m_next = m_direction == Direction::Forward ? window.last : window.first;
        return;
    }
    m_matchBegin = window.first + at;
    m_wrapped = m_pass == 1;
    m_status = Status::Found;
}

} // namespace ui

#include "NmeaChecksum.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

using commands::CSentenceCheck;
using Kind = CSentenceCheck::Kind;
using Result = CSentenceCheck::Result;

namespace commands {

void PrintTo(Kind kind, std::ostream* out)
{
    static const char* const kNames[] = {"Text", "Unchecked", "Valid", "Broken"};
    *out << kNames[static_cast<int>(kind)];
}

} // namespace commands

namespace {

std::string Checked(const std::string& sentence)
{
    return commands::WithNmeaChecksum(sentence);
}

// The sentence with its checksum's last digit changed.
std::string Spoilt(const std::string& sentence)
{
    std::string line = Checked(sentence);
    line.back() = line.back() == '0' ? '1' : '0';
    return line;
}

struct Case
{
    std::string line;
    Kind kind;
    std::string type;
};

const std::vector<Case> kCases = {
    // Sentences with a checksum, as the pane has always marked them.
    {Checked("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), Kind::Valid, "GPGGA"},
    {"$GPGGA,1*4b", Kind::Valid, "GPGGA"},  // lower-case digits too
    {"$GPGGA,1*4c", Kind::Broken, "GPGGA"},
    {Spoilt("$SDDBT,78.7,f,24.0,M,13.1,F"), Kind::Broken, "SDDBT"},
    {Checked("$POACK,1"), Kind::Valid, "POACK"},
    {Checked("$PCSI"), Kind::Valid, "PCSI"},
    {Checked("!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0"), Kind::Valid, "!AIVDM"},
    {Spoilt("!AIVDO,1,1,,,B3aG?P0P00PD,0"), Kind::Broken, "!AIVDO"},
    {Checked("$GP GA,1"), Kind::Valid, ""},     // a checksum that holds, whatever the address
    {Spoilt("$gpgga,1"), Kind::Broken, ""},
    {"$*00", Kind::Valid, ""},
    // Sentences without one.
    {"$GPGGA,123519,4807.038,N", Kind::Unchecked, "GPGGA"},
    {"$SDDBT", Kind::Unchecked, "SDDBT"},
    {"$POACK,", Kind::Unchecked, "POACK"},
    {"$PCSI,0", Kind::Unchecked, "PCSI"},
    {"$PMTK314,0,1", Kind::Unchecked, "PMTK314"},
    {"$PGRMZ12,1", Kind::Unchecked, "PGRMZ12"},
    {"!AIVDM,1,1,,A,13aG?P0P00PD", Kind::Unchecked, "!AIVDM"},
    // Plain text.
    {"", Kind::Text, ""},
    {"$", Kind::Text, ""},
    {"$GPG", Kind::Text, ""},
    {"$GPGGAX,1", Kind::Text, ""},             // six characters, not "P"
    {"$PUB,1", Kind::Text, ""},                // "P" and two
    {"$PGRMZ12345,1", Kind::Text, ""},         // longer than any address
    {"$gpgga,1", Kind::Text, ""},
    {"$12GGA,1", Kind::Text, ""},
    {"$G1GGA,1", Kind::Text, ""},              // a talker is two letters
    {"$GPGGA;1", Kind::Text, ""},
    {"$GPGGA,1*4", Kind::Text, ""},            // a "*" without its two digits
    {"$GPGGA,1*4G", Kind::Text, ""},
    {"$GPGGA*", Kind::Text, ""},
    {"GPGGA,1", Kind::Text, ""},
    {" $GPGGA,1", Kind::Text, ""},
    {"Hello world*12", Kind::Text, ""},
    {"\xC8\xEC\xFF*00", Kind::Text, ""},
};

// Memory no one may read, `size` bytes of it, given back when it goes.
class CUnreadable
{
public:
#ifdef _WIN32
    explicit CUnreadable(std::size_t size) : m_size(size), m_data(::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS)) {}
    ~CUnreadable() { ::VirtualFree(m_data, 0, MEM_RELEASE); }
    bool Made() const { return m_data != nullptr; }
#else
    explicit CUnreadable(std::size_t size) : m_size(size), m_data(::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
    ~CUnreadable() { ::munmap(m_data, m_size); }
    bool Made() const { return m_data != MAP_FAILED; }
#endif
    CUnreadable(const CUnreadable&) = delete;
    CUnreadable& operator=(const CUnreadable&) = delete;
    const char* Data() const { return static_cast<const char*>(m_data); }
    std::size_t Size() const { return m_size; }

private:
    std::size_t m_size;
    void* m_data;
};

struct Verdict
{
    Kind kind;
    Result result;
    std::string type;
};

Verdict Check(const std::vector<std::string>& pieces)
{
    CSentenceCheck check;
    for (const std::string& piece : pieces)
        check.Add(piece.data(), piece.size());
    return {check.GetKind(), check.Get(), check.Type()};
}

} // namespace

// Each line read whole, byte by byte and in every split into three pieces
// (empty pieces among them), as bytes reach the pane: the same answer, and
// Get keeps answering None for everything without a checksum.
TEST(SentenceCheck, TellsSentencesWithAndWithoutChecksumFromTextInAnyPieces)
{
    for (const Case& c : kCases) {
        const Result result = c.kind == Kind::Valid    ? Result::Valid
                              : c.kind == Kind::Broken ? Result::Broken
                                                       : Result::None;
        std::vector<std::vector<std::string>> splits = {{c.line}, {}};
        for (char byte : c.line)
            splits.back().push_back(std::string(1, byte));
        for (std::size_t a = 0; a <= c.line.size(); ++a) {
            for (std::size_t b = a; b <= c.line.size(); ++b)
                splits.push_back({c.line.substr(0, a), c.line.substr(a, b - a), c.line.substr(b)});
        }
        for (const auto& pieces : splits) {
            const Verdict v = Check(pieces);
            ASSERT_EQ(v.kind, c.kind) << c.line << " in " << pieces.size() << " pieces";
            ASSERT_EQ(v.result, result) << c.line;
            ASSERT_EQ(v.type, c.type) << c.line;
        }
    }
}

// A device at the wrong rate sends megabytes without a line break: once the
// first byte says the line is no sentence, the rest is not read at all (here
// it could not be: it lies in memory no one may read).
TEST(SentenceCheck, ReadsNothingOfATextLineAfterItsFirstByte)
{
    const CUnreadable unreadable(1 << 20);
    ASSERT_TRUE(unreadable.Made());
    CSentenceCheck check;
    check.Add("x", 1);
    for (int i = 0; i < 16; ++i)
        check.Add(unreadable.Data(), unreadable.Size());
    EXPECT_EQ(check.GetKind(), Kind::Text);
    EXPECT_EQ(check.Get(), Result::None);
    EXPECT_EQ(check.Type(), "");
}

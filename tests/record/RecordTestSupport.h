#pragma once

// Helpers of the record tests, on Linux and under Wine alike: a temporary
// folder, whole files, the received text the tests feed, and the pane's
// line rule written out plainly, to check the record's against.

#include "RecordName.h"
#include "RecordTime.h"
#include "TimesCodec.h"
#include "WatchRecord.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace recordtest {

// A fresh folder under the system's temporary folder, removed with
// everything in it.
class CTempFolder
{
public:
    CTempFolder()
    {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("orvel-record-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(m_path))
                break;
        }
    }
    ~CTempFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::string Path() const { return m_path.string(); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Sets an environment variable for one test; null (on Windows also empty)
// leaves it unset.
class CEnv
{
public:
    CEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~CEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    CEnv(const CEnv&) = delete;
    CEnv& operator=(const CEnv&) = delete;

#ifdef _WIN32
    void Set(const char* value) { _putenv_s(m_name, value ? value : ""); }
#else
    void Set(const char* value) { value ? ::setenv(m_name, value, 1) : ::unsetenv(m_name); }
#endif

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

inline std::string WholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The byte at `offset` of an endless received text: NMEA sentences (right
// and wrong checksums) broken by CR LF, a CR alone or an LF, with empty
// lines, control bytes and Windows-1251 letters among them.
inline char TextByte(std::uint64_t offset)
{
    static const std::string kText = [] {
        const std::string lines[] = {
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
            "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r",
            "\r\n",
            "$SDDBT,0012.3,f,0003.7,M,0002.0,F*3F\n",
            "\n",
            "\xCF\xF0\xE8\xE2\xE5\xF2 \x01\x02\x7F\t\r",
            "\r",
            "$GPHDT,274.07,T*03\r\n",
            "$GPHDT,274.07,T*04\r\n",
            std::string("bin\0ary\x1B", 8),
            "\r\n",
        };
        std::string text;
        for (const std::string& line : lines)
            text += line;
        return text;
    }();
    return kText[offset % kText.size()];
}

inline std::string Text(std::uint64_t from, std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = TextByte(from + i);
    return text;
}

// Where lines begin in `bytes`, as the pane breaks them: after an LF, and
// after a CR unless an LF follows it (the LF ends that break).
inline std::vector<std::uint64_t> LineBegins(const std::string& bytes)
{
    std::vector<std::uint64_t> begins;
    for (std::size_t p = 0; p < bytes.size(); ++p) {
        if (p == 0 || bytes[p - 1] == '\n' || (bytes[p - 1] == '\r' && bytes[p] != '\n'))
            begins.push_back(p);
    }
    return begins;
}

// A read as the record got it.
struct Read
{
    std::uint64_t offset;
    std::size_t size;
    record::Millis time;
};

// The time of each line begun in `reads` (in order, end to end): its read's,
// never earlier than the line before.
inline std::vector<record::Millis> LineTimesOf(const std::vector<std::uint64_t>& begins, const std::vector<Read>& reads,
                                               record::Millis openTime)
{
    std::vector<record::Millis> times;
    std::size_t r = 0;
    record::Millis last = openTime;
    for (const std::uint64_t begin : begins) {
        while (reads[r].offset + reads[r].size <= begin)
            ++r;
        last = std::max(last, reads[r].time);
        times.push_back(last);
    }
    return times;
}

inline std::string TimesPathOf(const std::string& bytesPath)
{
    return bytesPath.substr(0, bytesPath.size() - std::string(record::kBytesExtension).size()) +
           record::kTimesExtension;
}

// A times file read whole on its own: the times of its lines, its events
// (kind, time, lines before), whether an entry was bad, and how many bytes
// of an entry cut short are left at its end.
struct DecodedTimes
{
    std::vector<record::Millis> lines;
    std::vector<std::tuple<record::EventKind, record::Millis, std::uint64_t>> events;
    bool bad = false;
    std::size_t unread = 0;
};

inline DecodedTimes DecodeTimesFile(const std::string& path)
{
    using namespace record;
    const std::string file = WholeFile(path);
    DecodedTimes decoded;
    if (file.compare(0, kTimesHeaderSize, kTimesHeader) != 0) {
        decoded.bad = true;
        return decoded;
    }
    CTimesDecoder decoder(file.data() + kTimesHeaderSize, file.size() - kTimesHeaderSize);
    CTimesDecoder::Entry entry;
    CTimesDecoder::Result result;
    Millis time = 0;
    while ((result = decoder.Next(entry)) == CTimesDecoder::Result::Entry) {
        time += static_cast<Millis>(entry.delta);
        if (entry.isEvent)
            decoded.events.emplace_back(entry.kind, time, decoded.lines.size());
        else
            decoded.lines.push_back(time);
    }
    decoded.bad = result == CTimesDecoder::Result::Bad;
    decoded.unread = file.size() - kTimesHeaderSize - decoder.Position();
    return decoded;
}

inline std::string ReadAll(const record::CWatchRecord& record)
{
    std::string bytes(static_cast<std::size_t>(record.Written()), '\0');
    bytes.resize(record.Read(0, bytes.data(), bytes.size()));
    return bytes;
}

// The child of a kill test: appends the endless text in reads of every size
// and, after every thousand reads, waits until they are written and reports
// Written() through `report`, until that fails or the child is killed.
template <typename Report>
void AppendAndReportWhatIsWritten(const std::string& folder, Report report)
{
    const auto record = record::CWatchRecord::Create(folder, "SnsPort", record::NowMillis());
    std::string read;
    std::uint64_t at = 0;
    for (unsigned k = 1;; ++k) {
        read = Text(at, 1 + (k * 97) % 300);
        record->Append(read.data(), read.size(), record::NowMillis());
        at += read.size();
        if (k % 1000 == 0) {
            record->Flush();
            if (!report(record->Written()))
                return;
        }
    }
}

// The record a killed child left in `folder`: at least what it `reported`
// written, exactly the text up to where it ends, its times whole entries
// in order, the Open first. Returns its bytes file.
inline std::string ExpectTheKilledChildsRecordWhole(const std::string& folder, std::uint64_t reported)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().string());
    EXPECT_EQ(files.size(), 2u);
    if (files.size() != 2)
        return "";
    const std::string bytesPath = files[0].size() < files[1].size() ? files[0] : files[1];
    const std::string bytes = WholeFile(bytesPath);
    EXPECT_GE(bytes.size(), reported);
    EXPECT_GT(reported, 1000000u);
    EXPECT_TRUE(bytes == Text(0, bytes.size()));
    const DecodedTimes times = DecodeTimesFile(TimesPathOf(bytesPath));
    EXPECT_FALSE(times.bad);
    EXPECT_LE(times.lines.size(), LineBegins(bytes).size());
    EXPECT_GT(times.lines.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(times.lines.begin(), times.lines.end()));
    EXPECT_TRUE(!times.events.empty() && std::get<0>(times.events.front()) == record::EventKind::Open);
    return bytesPath;
}

} // namespace recordtest

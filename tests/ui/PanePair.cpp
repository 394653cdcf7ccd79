#include "PanePair.h"

#include <LocalTime.h>
#include <PaneFind.h>

#include <random>

namespace panetest {

CPanePair::CPanePair(std::size_t blockSize) : memory(blockSize), overRecord(blockSize)
{
    Open();
}

CPanePair::~CPanePair()
{
    Close();
}

void CPanePair::Open()
{
    m_record = record::CWatchRecord::Create(m_folder.Path(), "SnsPort", m_time);
    overRecord.SetRecord(m_record);
}

void CPanePair::Close()
{
    if (!m_record)
        return;
    m_record->Close(++m_time);
    m_record->WaitClosed();
    overRecord.SetRecord(nullptr);
    overRecord.Settle();
    m_record.reset();
}

void CPanePair::Receive(const std::string& read, bool sameTime)
{
    if (!sameTime)
        m_time += 7;
    if (m_record)
        m_record->Append(read.data(), read.size(), m_time);
    const ui::CPaneModel::ReadTimes times = {{0, m_time}};
    memory.AppendReceived(read.data(), read.size(), times);
    overRecord.AppendReceived(read.data(), read.size(), times);
}

void CPanePair::RecordOnly(const std::string& read)
{
    m_record->Append(read.data(), read.size(), m_time);
}

void CPanePair::ReceiveInReads(const std::string& text, std::size_t largest, unsigned seed)
{
    std::mt19937 random(seed);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = std::min<std::size_t>(1 + random() % largest, text.size() - at);
        Receive(text.substr(at, size), random() % 4 == 0);
        at += size;
    }
}

void CPanePair::Written()
{
    if (m_record)
        m_record->Flush();
    overRecord.Settle();
}

std::string SavedLineByLine(const ui::CPaneModel& model, bool withTimes)
{
    const ui::CPaneText& text = model.Text();
    std::string bytes;
    for (std::size_t line = 0; line < text.LineCount(); ++line) {
        if (const std::int64_t time = withTimes ? model.LineTimeMs(line) : 0)
            bytes += text::LocalTime(time, "%H:%M:%S", true) + ' ';
        const std::size_t end = text.LineEnd(line);
        bytes += text.Bytes(text.LineStart(line), end < text.Size() ? end + 1 : end);
    }
    return bytes;
}

namespace {

std::string Found(const ui::CPaneText& text, const std::string& needle, std::size_t from,
                  ui::CPaneFind::Direction direction)
{
    ui::CPaneFind find(needle, from, direction, {false, true});
    if (find.Run(text) != ui::CPaneFind::Status::Found)
        return "not found";
    return std::to_string(find.MatchBegin()) + (find.Wrapped() ? " wrapped" : "");
}

} // namespace

void ExpectSamePanes(const ui::CPaneModel& expected, const ui::CPaneModel& actual)
{
    const ui::CPaneText& want = expected.Text();
    const ui::CPaneText& got = actual.Text();
    ASSERT_EQ(got.Size(), want.Size());
    ASSERT_EQ(got.Bytes(0, got.Size()), want.Bytes(0, want.Size()));
    ASSERT_EQ(got.LineCount(), want.LineCount());
    for (std::size_t line = 0; line < want.LineCount(); ++line) {
        ASSERT_EQ(got.LineStart(line), want.LineStart(line)) << "line " << line;
        ASSERT_EQ(got.LineEnd(line), want.LineEnd(line)) << "line " << line;
        ASSERT_EQ(actual.MarkOf(line), expected.MarkOf(line)) << "line " << line;
        ASSERT_EQ(actual.KindOf(line), expected.KindOf(line)) << "line " << line;
        ASSERT_EQ(actual.EndOf(line), expected.EndOf(line)) << "line " << line;
        ASSERT_EQ(actual.LineTimeMs(line), expected.LineTimeMs(line)) << "line " << line;
    }
    for (std::size_t pos = 0; pos <= want.Size(); pos += want.Size() / 3000 + 1) {
        ASSERT_EQ(got.LineOf(pos), want.LineOf(pos)) << "position " << pos;
        ASSERT_EQ(got.At(pos), want.At(pos)) << "position " << pos;
    }
    for (std::size_t pos = 0; pos <= want.Size(); pos += want.Size() / 40 + 1) {
        ASSERT_EQ(actual.ColumnOf(pos), expected.ColumnOf(pos)) << "position " << pos;
        ASSERT_EQ(actual.WordEnd(pos), expected.WordEnd(pos)) << "position " << pos;
        ASSERT_EQ(actual.WordStart(pos), expected.WordStart(pos)) << "position " << pos;
    }
    EXPECT_EQ(actual.Sentences().seen, expected.Sentences().seen);
    EXPECT_EQ(actual.Sentences().broken, expected.Sentences().broken);

    // Copies of ranges across lines and pieces, as text and as hex.
    const std::size_t size = want.Size();
    const std::pair<std::size_t, std::size_t> ranges[] = {
        {0, size}, {size / 7, size / 2}, {size / 3, size / 3 + 200}, {size > 90 ? size - 90 : 0, size}};
    for (const auto& [begin, end] : ranges) {
        for (const bool hex : {false, true}) {
            const ui::CPaneLayout wanted(expected, hex);
            const ui::CPaneLayout gotten(actual, hex);
            ASSERT_EQ(gotten.CopyText(begin, end), wanted.CopyText(begin, end)) << begin << ".." << end << " hex " << hex;
        }
    }
    for (const char* needle : {"$gphdt", "*04\n", "\xCF\xF0", "x\ny"}) {
        for (const auto direction : {ui::CPaneFind::Direction::Forward, ui::CPaneFind::Direction::Backward})
            EXPECT_EQ(Found(got, needle, size / 2, direction), Found(want, needle, size / 2, direction)) << needle;
    }

    // Saved: what the pane in memory saves, which is the pane line by line.
    for (const bool withTimes : {false, true}) {
        const std::string saved = actual.RecordBytes(withTimes);
        EXPECT_EQ(saved, expected.RecordBytes(withTimes)) << "with times " << withTimes;
        EXPECT_EQ(saved, SavedLineByLine(actual, withTimes)) << "with times " << withTimes;
    }
}

} // namespace panetest

#pragma once

// Two panes fed the same: one holding everything in memory, one reading its
// received text back from a real record in a temporary folder, as the
// window's channel does (the record takes each read before the pane does).
// And everything a pane answers, compared between the two.

#include <PaneLayout.h>
#include <PaneModel.h>
#include <RecordTestSupport.h>  // the received text the panes are fed
#include <TempDir.h>
#include <WatchRecord.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace panetest {

constexpr record::Millis kOpenTime = 1700000000000;

class CPanePair
{
public:
    // `blockSize`: the panes' chunks (see CPaneText).
    explicit CPanePair(std::size_t blockSize);
    ~CPanePair();
    CPanePair(const CPanePair&) = delete;
    CPanePair& operator=(const CPanePair&) = delete;

    // The channel opened: a record begun, the pane over it told.
    void Open();
    // The channel closed: the record ended, the pane told.
    void Close();
    // A read, at a time of its own (or the last read's, with `sameTime`).
    void Receive(const std::string& read, bool sameTime = false);
    // A read that reaches the record and not the pane (the pane was told of
    // the record after it).
    void RecordOnly(const std::string& read);
    // `text` in reads of 1 to `largest` bytes, cut by `seed`.
    void ReceiveInReads(const std::string& text, std::size_t largest, unsigned seed);
    // Waits until the record has written what it was given (or stopped),
    // and lets the pane read that from it.
    void Written();
    // Does the same to both panes.
    template <typename Edit>
    void Both(Edit edit)
    {
        edit(memory);
        edit(overRecord);
    }

    const std::shared_ptr<record::CWatchRecord>& Record() const { return m_record; }

    ui::CPaneModel memory;
    ui::CPaneModel overRecord;

private:
    testsupport::TempDir m_folder;
    std::shared_ptr<record::CWatchRecord> m_record;
    record::Millis m_time = kOpenTime;
};

// Everything `actual` answers is what `expected` answers: its bytes and
// lines, marks, ends, kinds and times of lines, positions' lines, the
// sentence counts, copies of ranges as text and hex, words, find, and the
// record saved with and without times (checked against the record written
// out line by line).
void ExpectSamePanes(const ui::CPaneModel& expected, const ui::CPaneModel& actual);

// The record a pane is saved as, made line by line through the model.
std::string SavedLineByLine(const ui::CPaneModel& model, bool withTimes);

} // namespace panetest

#pragma once

// The progress window of one channel's background send. It appears once the
// send has run for half a second, titled with the channel's name, and shows
// bytes sent of the total, the rate over the last seconds and the time left
// at that rate (a device that slows down or pauses shows so); after five seconds
// without a byte going out it says the device is not taking data. Its
// "Отмена" asks for the send to be cancelled. It never blocks the window:
// it is not modal.

#include "DialogEx.h"
#include "ProgressWindow.h"
#include "RecentRate.h"

#include <Sender.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace ui {

class CSendProgress
{
public:
    // The window of `owner`'s send; `title` is UTF-8.
    CSendProgress(const CDialogEx& owner, std::string title, std::function<void()> cancel);
    ~CSendProgress();
    CSendProgress(const CSendProgress&) = delete;
    CSendProgress& operator=(const CSendProgress&) = delete;

    // Window thread, while the send runs.
    void Update(const serialport::CSender::Progress& progress);
    // The send has ended: the window goes.
    void Finish();
    bool Shown() const { return m_window != nullptr; }
    // What the window says (UTF-8), for whoever looks at it.
    std::string Text() const;

    // What the window says of `progress` at `now`, with the recent rate.
    static std::string Describe(const serialport::CSender::Progress& progress,
                                std::chrono::steady_clock::time_point now, const CRecentRate& rate);

private:
    const CDialogEx& m_owner;
    std::string m_title;
    std::function<void()> m_cancel;
    std::unique_ptr<CProgressWindow> m_window;
    CRecentRate m_rate;
};

} // namespace ui

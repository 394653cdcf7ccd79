#pragma once

// The progress window of one channel's background send. It appears once the
// send has run for half a second, titled with the channel's name, and shows
// bytes sent of the total, the rate and the time left; after five seconds
// without a byte going out it says the device is not taking data. Its
// "Отмена" asks for the send to be cancelled. It never blocks the window:
// it is not modal.

#include <Sender.h>

#include <QString>

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace ui {

class CSendProgress
{
public:
    CSendProgress(QWidget* parent, QString title, std::function<void()> cancel);
    ~CSendProgress();
    CSendProgress(const CSendProgress&) = delete;
    CSendProgress& operator=(const CSendProgress&) = delete;

    // Window thread, while the send runs.
    void Update(const serialport::CSender::Progress& progress);
    // The send has ended: the window goes.
    void Finish();
    bool Shown() const { return m_dialog != nullptr; }
    // What the window says, for whoever looks at it.
    QString Text() const;

private:
    QWidget* m_parent;
    QString m_title;
    std::function<void()> m_cancel;
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace ui

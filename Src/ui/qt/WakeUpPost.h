#pragma once

#include "WakeUp.h"

#include <QObject>

namespace ui {

// A run is a plain event posted to a receiver of its own on the window's
// thread; a run still queued goes with the receiver.
class CWakeUp::CPoster : public QObject
{
public:
    explicit CPoster(std::function<void()> run) : m_run(std::move(run)) {}

    // Any thread.
    void Post();

protected:
    void customEvent(QEvent*) override { m_run(); }

private:
    std::function<void()> m_run;
};

} // namespace ui

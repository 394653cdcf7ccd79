#include "WakeUpPost.h"

namespace ui {

namespace {

constexpr UINT kRunMessage = WM_APP;

} // namespace

CWakeUp::CPoster::CPoster(std::function<void()> run)
    : m_run(std::move(run)), m_window([this](UINT message, WPARAM, LPARAM) {
          if (message == kRunMessage)
              m_run();
      })
{
}

void CWakeUp::CPoster::Post()
{
    ::PostMessageW(m_window.Handle(), kRunMessage, 0, 0);
}

} // namespace ui

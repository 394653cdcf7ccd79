#include "DialogCommands.h"

#include <cstdio>
#include <exception>

namespace ui {

void AfxThrowUserException()
{
    throw CUserException();
}

void RunHandler(int id, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const CUserException&) {
        // abandoned silently
    } catch (const std::exception& e) {
        std::fprintf(stderr, "OrvelConfigurator: command %d failed: %s\n", id, e.what());
    } catch (...) {
        std::fprintf(stderr, "OrvelConfigurator: command %d failed\n", id);
    }
}

} // namespace ui

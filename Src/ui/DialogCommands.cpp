#include "DialogCommands.h"

namespace ui {

void AfxThrowUserException()
{
    throw CUserException();
}

} // namespace ui

#pragma once

// The window system's file dialogs and message box. Texts are UTF-8; paths
// are the system's own (Linux: the file name's bytes; Windows: UTF-8).

#include "Wnd.h"

#include <string>
#include <utility>
#include <vector>

namespace ui {

// Asks for a file to read. False when the operator cancels.
bool AskOpenFile(CWnd* parent, std::string& path);

struct SaveFileQuestion
{
    std::string title;
    std::string folder;  // where the dialog starts
    std::string name;    // the name it proposes
    std::vector<std::pair<std::string, std::string>> filters;  // shown name, pattern ("*.log")
};

// Asks where to save; confirms replacing a file that exists. False when the
// operator cancels.
bool AskSaveFile(CWnd* parent, const SaveFileQuestion& question, std::string& path);

// Opens `folder` in the system's file manager; returns at once.
void OpenFolder(const std::string& folder);

// A message box with a warning sign and OK.
void ShowWarning(CWnd* parent, const std::string& title, const std::string& text);

} // namespace ui

#include "LogPane.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace ui {

void AppendToPane(QPlainTextEdit* pane, const QString& text)
{
    if (!pane || text.isEmpty())
        return;
    QTextCursor end(pane->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    QScrollBar* scroll = pane->verticalScrollBar();
    scroll->setValue(scroll->maximum());
}

} // namespace ui

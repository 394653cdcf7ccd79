#pragma once

// The find bar of a log pane: what to find, whether letter case matters,
// Up and Down, and what the search found. Enter finds the next match
// (Shift+Enter the one before), F3 and Shift+F3 too; Escape and its close
// button hide it.

#include <QFrame>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace ui {

class CFindBar : public QFrame
{
public:
    // `find(forward)` is asked for each search; `closed` when the bar hides.
    CFindBar(QWidget* parent, std::function<void(bool forward)> find, std::function<void()> closed);

    QString Needle() const;
    bool MatchCase() const;
    void SetNeedle(const QString& needle);
    // What the last search found (empty: nothing to say).
    void SetStatus(const QString& status);
    QString Status() const;
    // Shows the bar with its text selected for typing over.
    void Open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(bool)> m_find;
    std::function<void()> m_closed;
    QLineEdit* m_needle;
    QCheckBox* m_case;
    QLabel* m_status;
};

} // namespace ui

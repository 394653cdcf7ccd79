#pragma once

// The drop-down list of the dialog template. Port names are long paths
// (/run/user/1000/orvel-ports/devsim-gnss) that end in what tells them apart,
// so the box and its dropped list show a name too long for them with its
// middle elided, and the full name of the selection is the box's tooltip.
// A list may be brought up to date each time the operator drops it down.

#include <QComboBox>

#include <functional>

namespace ui {

class CDropDownList : public QComboBox
{
public:
    explicit CDropDownList(QWidget* parent);

    // Runs before every drop-down.
    void SetBeforeDropDown(std::function<void()> refresh) { m_beforeDropDown = std::move(refresh); }
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> m_beforeDropDown;
};

} // namespace ui

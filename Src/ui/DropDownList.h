#pragma once

// The drop-down list of the dialog template. Port names are long paths
// (/run/user/1000/orvel-ports/devsim-gnss) that end in what tells them apart,
// so the box and its dropped list show a name too long for them with its
// middle elided, and the full name of the selection is the box's tooltip.

#include <QComboBox>

namespace ui {

class CDropDownList : public QComboBox
{
public:
    explicit CDropDownList(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ui

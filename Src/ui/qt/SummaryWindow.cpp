#include "SummaryWindow.h"

#include <QBrush>
#include <QDialog>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

// A cell that sorts by its key when its column is numeric.
class CCell : public QTableWidgetItem
{
public:
    CCell(const CSummaryCell& cell, bool numeric)
        : QTableWidgetItem(QString::fromStdString(cell.text)), m_key(cell.sortKey), m_numeric(numeric)
    {
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (numeric)
            setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    bool operator<(const QTableWidgetItem& other) const override
    {
        if (m_numeric)
            return m_key < static_cast<const CCell&>(other).m_key;
        return QTableWidgetItem::operator<(other);
    }

private:
    double m_key;
    bool m_numeric;
};

} // namespace

class CSummaryWindow::CImpl
{
public:
    CImpl(CWnd* parent, const std::string& title, std::vector<std::string> columns, std::vector<bool> numeric)
        : m_dialog(parent), m_table(&m_dialog), m_numeric(std::move(numeric))
    {
        m_dialog.setWindowTitle(QString::fromStdString(title));
        m_dialog.setModal(false);
        auto* layout = new QVBoxLayout(&m_dialog);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(&m_table);
        QStringList headings;
        for (const std::string& column : columns)
            headings << QString::fromStdString(column);
        m_table.setColumnCount(headings.size());
        m_table.setHorizontalHeaderLabels(headings);
        m_table.verticalHeader()->hide();
        m_table.setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table.setSelectionBehavior(QAbstractItemView::SelectRows);
        m_table.horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        m_table.setSortingEnabled(true);
        m_table.sortByColumn(0, Qt::AscendingOrder);
        m_table.setFocusPolicy(Qt::NoFocus);
        m_dialog.resize(700, 300);
    }

    QDialog m_dialog;
    QTableWidget m_table;
    std::vector<bool> m_numeric;
};

CSummaryWindow::CSummaryWindow(CWnd* parent, const std::string& title, std::vector<std::string> columns,
                               std::vector<bool> numeric)
    : m_impl(std::make_unique<CImpl>(parent, title, std::move(columns), std::move(numeric)))
{
}

CSummaryWindow::~CSummaryWindow() = default;

void CSummaryWindow::Show()
{
    m_impl->m_dialog.show();
    m_impl->m_dialog.raise();
    m_impl->m_dialog.activateWindow();
}

bool CSummaryWindow::IsShown() const
{
    return m_impl->m_dialog.isVisible();
}

void CSummaryWindow::SetRows(const std::vector<CSummaryRow>& rows)
{
    QTableWidget& table = m_impl->m_table;
    // Filled unsorted, then sorted as the operator chose.
    table.setSortingEnabled(false);
    table.setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const CSummaryRow& row = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < table.columnCount() && c < static_cast<int>(row.cells.size()); ++c) {
            const bool numeric = c < static_cast<int>(m_impl->m_numeric.size()) && m_impl->m_numeric[c];
            auto* item = new CCell(row.cells[static_cast<std::size_t>(c)], numeric);
            if (row.red)
                item->setForeground(QBrush(Qt::red));
            table.setItem(r, c, item);
        }
    }
    table.setSortingEnabled(true);
}

std::vector<std::string> CSummaryWindow::ShownRows() const
{
    const QTableWidget& table = m_impl->m_table;
    std::vector<std::string> shown;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table.columnCount(); ++c)
            cells << (table.item(r, c) ? table.item(r, c)->text() : QString());
        shown.push_back(cells.join(QLatin1Char('\t')).toStdString());
    }
    return shown;
}

std::vector<bool> CSummaryWindow::RedRows() const
{
    const QTableWidget& table = m_impl->m_table;
    std::vector<bool> red;
    for (int r = 0; r < table.rowCount(); ++r)
        red.push_back(table.item(r, 0) && table.item(r, 0)->foreground().color() == Qt::red);
    return red;
}

} // namespace ui

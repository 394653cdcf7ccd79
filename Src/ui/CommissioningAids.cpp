// The window's commissioning aids, on a channel's pane menu: the summary of
// the sentence types a device sends, and the search for the baud rate it
// talks at.

#include "OrvelConfiguratorDlg.h"

#include <cmath>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSummaryInterval = 1000;   // ms between updates of a shown summary
constexpr int kSearchTickInterval = 50;  // ms between ticks of a running search

// A number with a decimal comma and `decimals` places, as the window writes them.
std::string Decimal(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string shown = text;
    for (char& c : shown)
        if (c == '.')
            c = ',';
    return shown;
}

ui::CSummaryRow SummaryRow(const traffic::CSentenceSummary::Row& row)
{
    const double since = std::chrono::duration<double>(row.sinceLast).count();
    ui::CSummaryRow shown;
    shown.red = row.stopped;
    shown.cells = {
        {row.type.empty() ? "(прочие)" : row.type, 0},
        {std::to_string(row.count), static_cast<double>(row.count)},
        {Decimal(row.perSecond, 1), row.perSecond},
        {Decimal(since, 1), since},
        {row.noChecksum ? "без КС" : std::to_string(row.badChecksums),
         row.noChecksum ? -1.0 : static_cast<double>(row.badChecksums)},
        {row.stopped ? "остановлено" : "", row.stopped ? 1.0 : 0.0},
    };
    return shown;
}

} // namespace

std::vector<ui::CPaneMenuItem> COrvelConfiguratorDlg::PaneMenu(int channel)
{
    std::vector<ui::CPaneMenuItem> items;
    items.push_back({"Показывать переданное",
                     [this, channel] {
                         setting::CPaneSetting& pane = m_paneSettings[channel];
                         pane.m_showSent.SetValue(pane.m_showSent.m_dwValue != 0 ? 0 : 1);
                         pane.Save();
                     },
                     [this, channel] { return m_paneSettings[channel].m_showSent.m_dwValue != 0; },
                     {}});
    items.push_back({"Открыть папку записей", [this] { OpenRecordsFolder(); }, {}, {}});
    items.push_back({"Сводка", [this, channel] { ShowSummary(channel); }, {}, {}});
    items.push_back({"Найти скорость", [this, channel] { StartBaudSearch(channel); }, {},
                     [this, channel] { return PortOf(channel).IsOpen() && !Searching(channel); }});
    return items;
}

// Sentence summary -------------------------------------------------------------

void COrvelConfiguratorDlg::ShowSummary(int channel)
{
    std::unique_ptr<ui::CSummaryWindow>& window = m_summaryWindows[channel];
    if (!window) {
        window = std::make_unique<ui::CSummaryWindow>(
            GetSafeHwnd(), std::string("Сводка: ") + kChannelNames[channel],
            std::vector<std::string>{"Предложение", "Принято", "В секунду", "С последнего, с", "Ошибок КС", "Состояние"},
            std::vector<bool>{false, true, true, true, true, true});
    }
    window->Show();
    UpdateSummaries();
    if (!m_summaryTimer.IsActive())
        m_summaryTimer.Start(kSummaryInterval);
}

void COrvelConfiguratorDlg::UpdateSummaries()
{
    bool shown = false;
    const Clock::time_point now = Clock::now();
    for (int channel = 0; channel < 3; ++channel) {
        ui::CSummaryWindow* window = m_summaryWindows[channel].get();
        if (!window || !window->IsShown())
            continue;
        shown = true;
        std::vector<ui::CSummaryRow> rows;
        for (const traffic::CSentenceSummary::Row& row : m_summaries[channel].Rows(now))
            rows.push_back(SummaryRow(row));
        window->SetRows(rows);
    }
    if (!shown)
        m_summaryTimer.Stop();
}

// Baud-rate search ---------------------------------------------------------------

bool COrvelConfiguratorDlg::Searching(int channel) const
{
    return m_baudSearches[channel] && m_baudSearches[channel]->search.Running();
}

void COrvelConfiguratorDlg::StartBaudSearch(int channel)
{
    serialport::CSerialPort& port = PortOf(channel);
    if (!port.IsOpen() || Searching(channel))
        return;
    const std::vector<std::uint32_t> rates(std::begin(kBaudRates), std::end(kBaudRates));
    auto run = std::unique_ptr<CBaudSearchRun>(new CBaudSearchRun{traffic::CBaudSearch(rates), nullptr});
    run->window = std::make_unique<ui::CProgressWindow>(
        GetSafeHwnd(), std::string("Найти скорость: ") + kChannelNames[channel], [this, channel] {
            if (Searching(channel))
                ActOnBaudSearch(channel, m_baudSearches[channel]->search.Cancel());
        });
    m_baudSearches[channel] = std::move(run);
    ActOnBaudSearch(channel, m_baudSearches[channel]->search.Start(port.BaudRate(), Clock::now()));
    if (!m_baudSearchTimer.IsActive())
        m_baudSearchTimer.Start(kSearchTickInterval);
}

void COrvelConfiguratorDlg::TickBaudSearches()
{
    bool running = false;
    for (int channel = 0; channel < 3; ++channel) {
        if (!Searching(channel))
            continue;
        ActOnBaudSearch(channel, m_baudSearches[channel]->search.OnTick(Clock::now()));
        running = running || Searching(channel);
    }
    if (!running)
        m_baudSearchTimer.Stop();
}

void COrvelConfiguratorDlg::ActOnBaudSearch(int channel, const traffic::CBaudSearch::Action& action)
{
    using Step = traffic::CBaudSearch::Step;
    CBaudSearchRun& run = *m_baudSearches[channel];
    serialport::CSerialPort& port = PortOf(channel);
    const std::string rate = std::to_string(action.rate);
    switch (action.step) {
    case Step::SwitchTo:
        port.SetBaudRate(action.rate);
        run.window->Show("Скорость " + rate + " бод (" + std::to_string(run.search.RateNumber()) + " из "
                             + std::to_string(run.search.Order().size()) + ")",
                         static_cast<int>(1000 * (run.search.RateNumber() - 1) / run.search.Order().size()));
        return;
    case Step::Listen:
        return;
    case Step::Found: {
        // The port runs at the rate already; the panel shows it and keeps
        // it, as Open would have.
        ui::CComboBox baud(GetDlgItem(PanelOf(channel).m_baudComboId));
        for (int index = 0; index < baud.GetCount(); ++index)
            if (baud.GetLBText(index) == rate)
                baud.SetCurSel(index);
        setting::CSerialPortDeviceSetting& settings = SettingOf(channel);
        settings.m_baudRate.SetValue(action.rate);
        settings.Save();
        return EndBaudSearch(channel, "Найдена скорость " + rate + " бод");
    }
    case Step::NoAnswer:
        port.SetBaudRate(action.rate);
        return EndBaudSearch(channel, "Нет ответа ни на одной скорости; оставлена " + rate + " бод");
    case Step::NoRateFound:
        port.SetBaudRate(action.rate);
        return EndBaudSearch(channel, "Данные есть, но ни на одной скорости не читаются; оставлена " + rate + " бод");
    case Step::Cancelled:
        port.SetBaudRate(action.rate);
        run.window.reset();
        return;
    }
}

void COrvelConfiguratorDlg::EndBaudSearch(int channel, const std::string& outcome)
{
    if (m_baudSearches[channel] && m_baudSearches[channel]->window)
        m_baudSearches[channel]->window->Finish(outcome);
}

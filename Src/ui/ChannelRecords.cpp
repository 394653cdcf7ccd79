// Each channel's record of its watch: begun before its port opens, so that
// the first read is in it, and ended when the port closes.

#include "OrvelConfiguratorDlg.h"

#include "Dialogs.h"
#include <LocalTime.h>

#include <RecordFolder.h>
#include <Retention.h>
#include <RetentionSetting.h>

#include <atomic>

void COrvelConfiguratorDlg::PruneOldRecords()
{
    m_recordsFolder = record::RecordsFolder();
    setting::CRetentionSetting retention;
    retention.Save();
    record::PruneRecords(m_recordsFolder, record::NowMillis(), record::DaysToMillis(retention.m_days.m_dwValue),
                         record::MebibytesToBytes(retention.m_megabytes.m_dwValue));
}

void COrvelConfiguratorDlg::BeginRecord(int channel)
{
    std::atomic_store(&m_records[channel],
                      record::CWatchRecord::Create(m_recordsFolder, kDeviceKeys[channel], record::NowMillis()));
    m_recordFailureShown[channel] = false;
}

// After the port's Open: the pane goes on with the record when the port
// opened; else the record goes, with its files.
void COrvelConfiguratorDlg::KeepRecord(int channel, bool opened)
{
    if (!opened) {
        if (const auto record = std::atomic_exchange(&m_records[channel], {}))
            record->Discard();
        return;
    }
    if (ui::CLogPane* pane = PanelOf(channel).m_logEdit) {
        pane->SetRecord(std::atomic_load(&m_records[channel]));
        pane->AddEvent(ui::CPaneModel::Event::Kind::Opened, text::NowMs());
    }
}

// After the port's Close: nothing more comes into the record.
void COrvelConfiguratorDlg::EndRecord(int channel)
{
    const auto record = std::atomic_exchange(&m_records[channel], {});
    if (!record)
        return;
    record->Close(record::NowMillis());
    if (ui::CLogPane* pane = PanelOf(channel).m_logEdit) {
        // The port's last reads went into this record: the pane takes them
        // while it reads from it, so the pane's next record starts clean.
        ShowReceived(channel);
        pane->AddEvent(ui::CPaneModel::Event::Kind::Closed, text::NowMs());
        pane->SetRecord(nullptr);
    }
}

void COrvelConfiguratorDlg::ShowRecordFailure(int channel)
{
    const std::shared_ptr<record::CWatchRecord> record = std::atomic_load(&m_records[channel]);
    if (!record || m_recordFailureShown[channel])
        return;
    const record::RecordFailure failure = record->Failure();
    if (!failure)
        return;
    m_recordFailureShown[channel] = true;
    if (ui::CLogPane* pane = PanelOf(channel).m_logEdit)
        pane->SetNote("Запись остановлена: " + failure.text);
}

void COrvelConfiguratorDlg::OpenRecordsFolder()
{
    record::FolderError error;
    if (record::PrepareFolder(m_recordsFolder, error))
        ui::OpenFolder(m_recordsFolder);
}

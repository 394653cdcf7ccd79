#include "Retention.h"

#include "RecordFile.h"
#include "RecordFolder.h"
#include "RecordName.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

namespace record {

namespace {

struct Record
{
    std::string base;
    std::uint64_t size = 0;
    Millis modified = 0;
    bool kept = false;  // tried once, in use or failed: not tried again
};

// The records in `folder`, oldest first.
std::vector<Record> ListRecords(const std::string& folder)
{
    std::map<std::string, Record> byBase;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string fileName = it->path().filename().string();
        std::string base;
        bool isBytes = false;
        FileStamp stamp;
        if (!ParseRecordFileName(fileName, base, isBytes) || !StampOf(InFolder(folder, fileName), stamp))
            continue;
        Record& record = byBase[base];
        record.base = base;
        record.size += stamp.size;
        record.modified = std::max(record.modified, stamp.modified);
    }
    std::vector<Record> records;
    for (auto& entry : byBase)
        records.push_back(std::move(entry.second));
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return std::tie(a.modified, a.base) < std::tie(b.modified, b.base);
    });
    return records;
}

} // namespace

PruneResult PruneRecords(const std::string& folder, Millis now, Millis maxAge, std::uint64_t maxTotalBytes)
{
    PruneResult result;
    std::vector<Record> kept;
    // True when it went.
    const auto remove = [&](const Record& record) {
        int error = 0;
        switch (RemoveRecordFiles(InFolder(folder, record.base + kBytesExtension),
                                  InFolder(folder, record.base + kTimesExtension), error)) {
        case RemoveResult::Removed:
            result.removed.push_back(record.base);
            return true;
        case RemoveResult::InUse:
            result.inUse.push_back(record.base);
            return false;
        case RemoveResult::Failed:
            result.failed.push_back(record.base);
            std::fprintf(stderr, "OrvelConfigurator: the old record %s is kept: %s\n", record.base.c_str(),
                         SystemErrorText(error).c_str());
            return false;
        }
        return false;
    };

    for (Record& record : ListRecords(folder)) {
        if (maxAge > 0 && now - record.modified > maxAge) {
            if (remove(record))
                continue;
            record.kept = true;
        }
        kept.push_back(record);
    }
    std::uint64_t total = 0;
    for (const Record& record : kept)
        total += record.size;
    for (const Record& record : kept) {
        if (maxTotalBytes == 0 || total <= maxTotalBytes)
            break;
        if (!record.kept && remove(record))
            total -= record.size;
    }
    result.keptBytes = total;
    return result;
}

} // namespace record

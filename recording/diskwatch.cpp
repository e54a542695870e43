#include "diskwatch.h"

#include "prompts.h"

#include <QDir>
#include <QStorageInfo>

std::int64_t StorageFreeSpace::FreeBytes(const QString& folder) const {
    if (!QDir(folder).exists())
        return -1;
    const QStorageInfo info(folder);
    if (!info.isValid())
        return -1;
    return info.bytesAvailable();
}

DiskWatch::DiskWatch(const FreeSpaceSource& source, Prompts& prompts)
    : source_(&source), prompts_(prompts) {}

QString DiskWatch::WarningText(std::int64_t minutesLeft, const QString& folder) {
    const QString where = QDir::toNativeSeparators(folder);
    if (minutesLeft < 1)
        return "Less than one minute of recording fits on the disk of " + where + ".";
    if (minutesLeft == 1)
        return "Only about 1 minute of recording fits on the disk of " + where + ".";
    return "Only about " + QString::number(minutesLeft) +
           " minutes of recording fit on the disk of " + where + ".";
}

void DiskWatch::Check(const QString& folder, std::int64_t bytesPerMinute) {
    if (warned_ || bytesPerMinute <= 0)
        return;
    const std::int64_t free = source_->FreeBytes(folder);
    if (free < 0)
        return;
    const std::int64_t minutes = free / bytesPerMinute;
    if (minutes >= kWarnMinutes)
        return;
    warned_ = true;
    prompts_.Information(WarningText(minutes, folder));
}

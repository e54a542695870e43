#pragma once

#include <QString>
#include <cstdint>

class Prompts;

// Where the free space of a folder comes from; tests give their own.
class FreeSpaceSource {
public:
    virtual ~FreeSpaceSource() = default;
    // Bytes available to the user on the file system of `folder`; -1 when unknown (for example
    // when the folder does not exist).
    virtual std::int64_t FreeBytes(const QString& folder) const = 0;
};

// The file system's own answer.
class StorageFreeSpace : public FreeSpaceSource {
public:
    std::int64_t FreeBytes(const QString& folder) const override;
};

// Warns once per recording when the output folder has room for less than ten minutes of the
// current format. The warning is advice only: the recording goes on, and a disk that really
// fills up fails the write as any other write failure.
class DiskWatch {
public:
    static constexpr std::int64_t kWarnMinutes = 10;

    // Both must outlive the watch.
    DiskWatch(const FreeSpaceSource& source, Prompts& prompts);
    void SetSource(const FreeSpaceSource& source) { source_ = &source; }

    // A new recording: its first shortage is reported again.
    void Begin() { warned_ = false; }

    // Compares the free space of `folder` with `bytesPerMinute`; below ten minutes' worth and not
    // yet warned for this recording, shows the warning. Unknown space or rate warns of nothing.
    void Check(const QString& folder, std::int64_t bytesPerMinute);

    static QString WarningText(std::int64_t minutesLeft, const QString& folder);

private:
    const FreeSpaceSource* source_;
    Prompts& prompts_;
    bool warned_ = false;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// An output file written with plain system calls, so every failure is seen at the call that
// caused it (no library buffer hides a full disk until close). Failures raise ComponentError:
// "Cannot create '<path>': <cause>" or "Cannot write '<path>': <cause>". After a failed write the
// sink refuses further writes with the same message.
class FileSink {
public:
    FileSink() = default;
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates or truncates the file.
    void Create(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // Appends at the current end.
    void Write(const void* data, std::size_t size);
    // Overwrites bytes at `offset` (within what was written), leaving the append position.
    void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Moves the append position (for containers that patch their headers through one stream).
    void Seek(std::uint64_t offset);
    std::uint64_t Position() const { return pos_; }
    // Up to `size` bytes from `offset` of what was written, through the open descriptor (so
    // from this file even after it was moved or its folder renamed); fewer at the end, and 0
    // when the file cannot be read.
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
    // Cuts the file to `size` bytes (not beyond the current size).
    void Truncate(std::uint64_t size);
    std::uint64_t Size() const { return size_; }
    bool Failed() const { return failed_; }

    // Closes the descriptor; raises when the system reports a late write failure.
    void Close();
    // Closes without raising (after an earlier failure, or from a destructor).
    void Abandon();

private:
    [[noreturn]] void Fail(int err);

    std::string path_;
    int fd_ = -1;
    std::uint64_t pos_ = 0;
    std::uint64_t size_ = 0;
    bool failed_ = false;
    std::string failure_;
};

// "Cannot <verb> '<path>': <cause>", the form of every file error of the component.
std::string FileErrorText(const char* verb, const std::string& path, const std::string& cause);

#include "filesink.h"

#include "componenterror.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::string FileErrorText(const char* verb, const std::string& path, const std::string& cause) {
    return std::string("Cannot ") + verb + " '" + path + "': " + cause;
}

FileSink::~FileSink() {
    Abandon();
}

void FileSink::Create(const std::string& path) {
    Abandon();
    path_ = path;
    pos_ = size_ = 0;
    failed_ = false;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw ComponentError(FileErrorText("create", path, std::strerror(errno)));
}

void FileSink::Fail(int err) {
    failed_ = true;
    failure_ = FileErrorText("write", path_, std::strerror(err));
    throw ComponentError(failure_);
}

void FileSink::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (failed_)
        throw ComponentError(failure_);
    if (fd_ < 0)
        throw ComponentError(FileErrorText("write", path_, "the file is not open"));
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (n == 0)
            Fail(ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
        if (offset > size_)
            size_ = offset;
    }
}

void FileSink::Write(const void* data, std::size_t size) {
    WriteAt(pos_, data, size);
    pos_ += size;
}

std::size_t FileSink::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
    auto* p = static_cast<std::uint8_t*>(data);
    std::size_t got = 0;
    while (fd_ >= 0 && got < size) {
        const ssize_t n = ::pread(fd_, p + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

void FileSink::Truncate(std::uint64_t size) {
    if (failed_)
        throw ComponentError(failure_);
    if (fd_ < 0 || size >= size_)
        return;
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        if (errno != EINTR)
            Fail(errno);
    size_ = size;
}

void FileSink::Seek(std::uint64_t offset) {
    pos_ = offset;
}

void FileSink::Close() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && !failed_) {
        failed_ = true;
        throw ComponentError(FileErrorText("write", path_, std::strerror(errno)));
    }
}

void FileSink::Abandon() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

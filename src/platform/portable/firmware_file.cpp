#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/firmware_file.h"
#include "platform/portable/native_path.h"

namespace quillet {

namespace {

FileErrorCause CauseOf(int error) {
    switch (error) {
        case ENOENT:
            return FileErrorCause::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return FileErrorCause::BadPath;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return FileErrorCause::AccessDenied;
        case EMFILE:
        case ENFILE:
            return FileErrorCause::TooManyOpenFiles;
        case EBADF:
            return FileErrorCause::InvalidFile;
        case EIO:
            return FileErrorCause::HardIo;
        case ENOSPC:
            return FileErrorCause::DiskFull;
        case EINVAL:
        case ESPIPE:
        case EOVERFLOW:
            return FileErrorCause::BadSeek;
        case EWOULDBLOCK:
            return FileErrorCause::SharingViolation;
        default:
            return FileErrorCause::Generic;
    }
}

// A missing file in a missing folder is a bad path, as the Windows file layer reports it.
FileErrorCause MissingCause(const std::string& nativePath) {
    const size_t slash = nativePath.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return FileErrorCause::FileNotFound;
    struct stat info {};
    const std::string folder = nativePath.substr(0, slash);
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return FileErrorCause::BadPath;
    return FileErrorCause::FileNotFound;
}

class PosixFirmwareFile : public FirmwareFile {
public:
    PosixFirmwareFile(int descriptor, std::string path) : fd_(descriptor), path_(std::move(path)) {}
    ~PosixFirmwareFile() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PosixFirmwareFile(const PosixFirmwareFile&) = delete;
    PosixFirmwareFile& operator=(const PosixFirmwareFile&) = delete;

    uint32_t Read(void* buffer, uint32_t count) override {
        auto* at = static_cast<char*>(buffer);
        uint32_t delivered = 0;
        // The system may hand over less than asked before the end; only the end stops early.
        while (delivered < count) {
            const ssize_t got = ::read(fd_, at + delivered, count - delivered);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw FileException(CauseOf(errno));
            }
            if (got == 0)
                break;
            delivered += static_cast<uint32_t>(got);
        }
        return delivered;
    }

    void Seek(uint64_t offset) override {
        if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max()))
            throw FileException(FileErrorCause::BadSeek);
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
            throw FileException(CauseOf(errno));
    }

    uint64_t Length() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            throw FileException(CauseOf(errno));
        return static_cast<uint64_t>(info.st_size);
    }

    void Close() override {
        if (fd_ < 0)
            return;
        const int descriptor = fd_;
        fd_ = -1;
        if (::close(descriptor) != 0 && errno != EINTR)
            throw FileException(CauseOf(errno), path_);
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace

std::unique_ptr<FirmwareFile> SystemFirmwareFiles::OpenExclusive(const std::string& path,
                                                                 FileErrorCause* cause) {
    FileErrorCause failure = FileErrorCause::None;
    std::unique_ptr<FirmwareFile> file;
    const std::string native = NativePath(path);
    const int descriptor = path.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        failure = path.empty()        ? FileErrorCause::BadPath
                  : (errno == ENOENT) ? MissingCause(native)
                                      : CauseOf(errno);
    } else {
        struct stat info {};
        if (::fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
            // A folder is not a file to read; the Windows file layer refuses it the same way.
            failure = FileErrorCause::AccessDenied;
        } else if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            failure = errno == EWOULDBLOCK ? FileErrorCause::SharingViolation : CauseOf(errno);
        }
        if (failure != FileErrorCause::None)
            ::close(descriptor);
        else
            file = std::make_unique<PosixFirmwareFile>(descriptor, path);
    }
    if (cause)
        *cause = failure;
    return file;
}

}  // namespace quillet

#include <windows.h>

#include "platform/firmware_file.h"

namespace quillet {

namespace {

FileErrorCause CauseOf(DWORD error) {
    switch (error) {
        case NO_ERROR:
            return FileErrorCause::None;
        case ERROR_FILE_NOT_FOUND:
            return FileErrorCause::FileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return FileErrorCause::BadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileErrorCause::TooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return FileErrorCause::AccessDenied;
        case ERROR_INVALID_HANDLE:
            return FileErrorCause::InvalidFile;
        case ERROR_SEEK:
        case ERROR_NEGATIVE_SEEK:
            return FileErrorCause::BadSeek;
        case ERROR_BAD_UNIT:
        case ERROR_NOT_READY:
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_IO_DEVICE:
            return FileErrorCause::HardIo;
        case ERROR_SHARING_VIOLATION:
            return FileErrorCause::SharingViolation;
        case ERROR_LOCK_VIOLATION:
            return FileErrorCause::LockViolation;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return FileErrorCause::DiskFull;
        case ERROR_HANDLE_EOF:
            return FileErrorCause::EndOfFile;
        default:
            return FileErrorCause::Generic;
    }
}

[[noreturn]] void ThrowLastError(const std::string& fileName = std::string()) {
    const FileErrorCause cause = CauseOf(::GetLastError());
    throw FileException(cause == FileErrorCause::None ? FileErrorCause::Generic : cause, fileName);
}

class Win32FirmwareFile : public FirmwareFile {
public:
    Win32FirmwareFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~Win32FirmwareFile() override {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    Win32FirmwareFile(const Win32FirmwareFile&) = delete;
    Win32FirmwareFile& operator=(const Win32FirmwareFile&) = delete;

    uint32_t Read(void* buffer, uint32_t count) override {
        auto* at = static_cast<char*>(buffer);
        uint32_t delivered = 0;
        while (delivered < count) {
            DWORD got = 0;
            if (!::ReadFile(handle_, at + delivered, count - delivered, &got, nullptr))
                ThrowLastError();
            if (got == 0)
                break;
            delivered += got;
        }
        return delivered;
    }

    void Seek(uint64_t offset) override {
        LONG high = static_cast<LONG>(offset >> 32);
        ::SetLastError(NO_ERROR);
        const DWORD low =
            ::SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        // All ones is also a valid low half; only the error code tells a failure apart.
        if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
            ThrowLastError();
    }

    uint64_t Length() override {
        DWORD high = 0;
        ::SetLastError(NO_ERROR);
        const DWORD low = ::GetFileSize(handle_, &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
            ThrowLastError();
        return (uint64_t{high} << 32) | low;
    }

    void Close() override {
        if (handle_ == INVALID_HANDLE_VALUE)
            return;
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(handle))
            ThrowLastError(path_);
    }

private:
    HANDLE handle_;
    std::string path_;
};

}  // namespace

std::unique_ptr<FirmwareFile> SystemFirmwareFiles::OpenExclusive(const std::string& path,
                                                                 FileErrorCause* cause) {
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (cause) {
            const FileErrorCause found = CauseOf(::GetLastError());
            *cause = found == FileErrorCause::None ? FileErrorCause::Generic : found;
        }
        return nullptr;
    }
    if (cause)
        *cause = FileErrorCause::None;
    return std::make_unique<Win32FirmwareFile>(handle, path);
}

}  // namespace quillet

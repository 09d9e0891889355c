// Firmware image files: opened for reading only, as raw bytes, without sharing, and only when they
// already exist; read, positioned, measured and closed. Failures of an open file are raised as
// FileException, which carries a cause and, where the file layer knows it, the file's name.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace quillet {

// Why a file operation failed, numbered as the dialog framework numbers its file error causes.
enum class FileErrorCause : int {
    None = 0,
    Generic = 1,
    FileNotFound = 2,
    BadPath = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidFile = 6,
    BadSeek = 9,
    HardIo = 10,
    SharingViolation = 11,
    LockViolation = 12,
    DiskFull = 13,
    EndOfFile = 14,
};

class FileException : public std::exception {
public:
    explicit FileException(FileErrorCause cause, std::string fileName = std::string())
        : cause_(cause), fileName_(std::move(fileName)) {}

    FileErrorCause Cause() const { return cause_; }
    // Empty when the failing operation did not name its file (reads and seeks do not).
    const std::string& FileName() const { return fileName_; }
    const char* what() const noexcept override { return "firmware file exception"; }

private:
    FileErrorCause cause_;
    std::string fileName_;
};

// One open file. Closed by Close or, quietly, by the destructor.
class FirmwareFile {
public:
    virtual ~FirmwareFile() = default;

    // Reads up to `count` bytes at the current position and moves past them; returns the bytes
    // delivered, fewer than asked only at the end of the file. Raises FileException (no name).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    // Moves to `offset` bytes from the start (past the end is allowed; reads there deliver
    // nothing). Raises FileException (no name).
    virtual void Seek(uint64_t offset) = 0;
    // The length the file system reports. Raises FileException (no name).
    virtual uint64_t Length() = 0;
    // Closes the file; raises FileException with the file's name when the system reports a
    // failure. Closing a closed file does nothing.
    virtual void Close() = 0;
};

class FirmwareFiles {
public:
    virtual ~FirmwareFiles() = default;

    // Opens an existing file for reading only, binary, shared with nobody. Never raises: returns
    // null when it cannot be opened, with the reason in `cause` when one is given.
    virtual std::unique_ptr<FirmwareFile> OpenExclusive(const std::string& path,
                                                        FileErrorCause* cause = nullptr) = 0;
};

// The platform's files: CreateFileA, ReadFile, SetFilePointer, GetFileSize and CloseHandle on
// Windows; open, read, lseek, fstat and close elsewhere, where an exclusive advisory lock stands
// for the missing share mode.
class SystemFirmwareFiles : public FirmwareFiles {
public:
    std::unique_ptr<FirmwareFile> OpenExclusive(const std::string& path,
                                                FileErrorCause* cause = nullptr) override;
};

}  // namespace quillet

// Firmware files held in memory, for download tests: each read is recorded (where, how much
// asked, how much delivered) and can be watched as it happens; a read, seek, length or close can
// be made to raise a file exception, and a read to deliver less than it could.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/firmware_file.h"

namespace quillet::test {

class MemoryFirmwareFiles : public FirmwareFiles {
public:
    enum class Operation { Read, Seek, Length, Close };

    struct Fault {
        Operation operation = Operation::Read;
        int occurrence = 1;  // the n-th call of that operation over all files, from 1
        FileErrorCause cause = FileErrorCause::HardIo;
        std::string fileName;  // what the exception names; empty for none
    };
    struct ReadRecord {
        uint64_t offset = 0;
        uint32_t asked = 0;
        uint32_t delivered = 0;
    };

    void Add(const std::string& name, std::string bytes) {
        files_[name] = std::make_shared<const std::string>(std::move(bytes));
    }
    void AddFault(const Fault& fault) { faults_.push_back(fault); }
    // The n-th read (from 1) delivers at most `limit` bytes.
    void LimitRead(int occurrence, uint32_t limit) { limits_[occurrence] = limit; }
    // Called before every read with its offset and size.
    void OnRead(std::function<void(const ReadRecord&)> onRead) { onRead_ = std::move(onRead); }

    std::unique_ptr<FirmwareFile> OpenExclusive(const std::string& path,
                                                FileErrorCause* cause) override {
        ++opens_;
        auto found = files_.find(path);
        if (found == files_.end() || open_.count(path) > 0) {
            if (cause)
                *cause = found == files_.end() ? FileErrorCause::FileNotFound
                                               : FileErrorCause::SharingViolation;
            return nullptr;
        }
        if (cause)
            *cause = FileErrorCause::None;
        open_[path] = true;
        return std::make_unique<File>(*this, path, found->second);
    }

    int Opens() const { return opens_; }
    size_t OpenFiles() const { return open_.size(); }
    const std::vector<ReadRecord>& Reads() const { return reads_; }
    // One past the last byte any read delivered.
    uint64_t EndOfBytesRead() const {
        uint64_t end = 0;
        for (const ReadRecord& read : reads_)
            end = std::max(end, read.offset + read.delivered);
        return end;
    }
    uint32_t LargestRead() const {
        uint32_t largest = 0;
        for (const ReadRecord& read : reads_)
            largest = std::max(largest, read.asked);
        return largest;
    }

private:
    class File : public FirmwareFile {
    public:
        File(MemoryFirmwareFiles& owner, std::string name, std::shared_ptr<const std::string> bytes)
            : owner_(owner), name_(std::move(name)), bytes_(std::move(bytes)) {}
        ~File() override { owner_.open_.erase(name_); }

        uint32_t Read(void* buffer, uint32_t count) override {
            owner_.Raise(Operation::Read);
            ReadRecord record{position_, count, 0};
            if (owner_.onRead_)
                owner_.onRead_(record);
            const uint64_t available = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
            uint64_t delivered = std::min<uint64_t>(count, available);
            auto limit = owner_.limits_.find(owner_.counts_[Operation::Read]);
            if (limit != owner_.limits_.end())
                delivered = std::min<uint64_t>(delivered, limit->second);
            if (delivered > 0)
                std::memcpy(buffer, bytes_->data() + position_, delivered);
            position_ += delivered;
            record.delivered = static_cast<uint32_t>(delivered);
            owner_.reads_.push_back(record);
            return record.delivered;
        }
        void Seek(uint64_t offset) override {
            owner_.Raise(Operation::Seek);
            position_ = offset;
        }
        uint64_t Length() override {
            owner_.Raise(Operation::Length);
            return bytes_->size();
        }
        void Close() override {
            if (closed_)
                return;
            closed_ = true;
            owner_.Raise(Operation::Close);
        }

    private:
        MemoryFirmwareFiles& owner_;
        std::string name_;
        std::shared_ptr<const std::string> bytes_;
        uint64_t position_ = 0;
        bool closed_ = false;
    };

    void Raise(Operation operation) {
        const int count = ++counts_[operation];
        for (const Fault& fault : faults_) {
            if (fault.operation == operation && fault.occurrence == count)
                throw FileException(fault.cause, fault.fileName);
        }
    }

    std::map<std::string, std::shared_ptr<const std::string>> files_;
    std::map<std::string, bool> open_;
    std::vector<Fault> faults_;
    std::map<int, uint32_t> limits_;
    std::map<Operation, int> counts_;
    std::vector<ReadRecord> reads_;
    std::function<void(const ReadRecord&)> onRead_;
    int opens_ = 0;
};

}  // namespace quillet::test

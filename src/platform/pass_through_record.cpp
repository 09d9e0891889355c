#include "platform/pass_through_record.h"

#include <algorithm>
#include <cstring>

namespace quillet {

void EncodePassThroughRecord(const PassThroughFields& fields, uint8_t* record) {
    PassThroughDirect fixed{};
    fixed.Length = static_cast<uint16_t>(kPassThroughFixedSize);
    fixed.PathId = fields.pathId;
    fixed.TargetId = fields.targetId;
    fixed.Lun = fields.lun;
    fixed.CdbLength = std::min<uint8_t>(fields.cdbLength, sizeof fixed.Cdb);
    fixed.SenseInfoLength = fields.senseLength;
    fixed.DataIn = fields.dataIn;
    fixed.DataTransferLength = fields.dataLength;
    fixed.TimeOutValue = fields.timeoutSeconds;
    fixed.DataBuffer = fields.dataLength > 0 ? fields.data : nullptr;
    fixed.SenseInfoOffset = fields.senseOffset;
    std::memcpy(fixed.Cdb, fields.cdb.data(), fixed.CdbLength);
    std::memcpy(record, &fixed, sizeof fixed);
}

bool DecodePassThroughRecord(const uint8_t* record, uint32_t inLength, uint32_t outLength,
                             PassThroughFields* fields) {
    if (record == nullptr || inLength < kPassThroughFixedSize)
        return false;
    PassThroughDirect fixed;
    std::memcpy(&fixed, record, sizeof fixed);
    if (fixed.Length != kPassThroughFixedSize || fixed.CdbLength == 0 ||
        fixed.CdbLength > sizeof fixed.Cdb || fixed.SenseInfoOffset < kPassThroughFixedSize ||
        uint64_t{fixed.SenseInfoOffset} + fixed.SenseInfoLength > outLength ||
        (fixed.DataTransferLength > 0 && fixed.DataBuffer == nullptr)) {
        return false;
    }
    fields->pathId = fixed.PathId;
    fields->targetId = fixed.TargetId;
    fields->lun = fixed.Lun;
    fields->cdbLength = fixed.CdbLength;
    fields->cdb.fill(0);
    std::copy_n(fixed.Cdb, fixed.CdbLength, fields->cdb.begin());
    fields->dataIn = fixed.DataIn;
    fields->dataLength = fixed.DataTransferLength;
    fields->data = fixed.DataBuffer;
    fields->timeoutSeconds = fixed.TimeOutValue;
    fields->senseLength = fixed.SenseInfoLength;
    fields->senseOffset = fixed.SenseInfoOffset;
    return true;
}

uint8_t PassThroughRecordStatus(const uint8_t* record) {
    return record[offsetof(PassThroughDirect, ScsiStatus)];
}

void SetPassThroughRecordStatus(uint8_t* record, uint8_t status) {
    record[offsetof(PassThroughDirect, ScsiStatus)] = status;
}

void SetPassThroughRecordTransferred(uint8_t* record, uint32_t length) {
    std::memcpy(record + offsetof(PassThroughDirect, DataTransferLength), &length, sizeof length);
}

}  // namespace quillet

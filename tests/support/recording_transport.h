// A transport that records every request and answers through a function the test gives, for
// checking the exact bytes and settings each command sends.
#pragma once

#include <functional>
#include <vector>

#include "device/scsi.h"

namespace quillet::test {

struct RecordedRequest {
    DriveAddress address;
    ScsiRequest request;  // as sent, before the answer was filled in
};

class RecordingTransport : public ScsiTransport {
public:
    using Answer = std::function<bool(ScsiRequest&)>;

    // Without an answer every request is carried out and completes with GOOD status.
    explicit RecordingTransport(Answer answer = nullptr) : answer_(std::move(answer)) {}

    bool Execute(const DriveAddress& address, ScsiRequest& request) override {
        sent_.push_back({address, request});
        if (answer_)
            return answer_(request);
        request.requestStatus = kRequestCompleted;
        request.ioControlSucceeded = true;
        return true;
    }

    const std::vector<RecordedRequest>& Sent() const { return sent_; }

private:
    Answer answer_;
    std::vector<RecordedRequest> sent_;
};

}  // namespace quillet::test

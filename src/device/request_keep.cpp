#include "device/request_keep.h"

namespace quillet {

RequestKeep& RequestKeep::Program() {
    // Never destroyed: a late completion may come while the program's statics are torn down.
    static RequestKeep* const keep = new RequestKeep();
    return *keep;
}

void RequestKeep::Add(const Range& range) {
    ranges_.push_back(range);
    bytes_ += range.length;
}

bool RequestKeep::Holds(const void* at, std::size_t length) const {
    const uintptr_t begin = reinterpret_cast<uintptr_t>(at);
    for (const Range& range : ranges_) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(range.at);
        if (begin >= start && length <= range.length && begin - start <= range.length - length)
            return true;
    }
    return false;
}

}  // namespace quillet

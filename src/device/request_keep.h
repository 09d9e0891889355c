// Memory that a given-up ASPI request may still be written into. The layer under the library can
// finish an aborted request, or one whose abort was refused, at any later time, even after the
// library has been freed: it then writes the request block and the data buffer and signals the
// event. What a transport hands over here is therefore never released while the program runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace quillet {

class RequestKeep {
public:
    // At most this many bytes are kept: a download's lent block and transfer buffer take 32 KiB,
    // a command's block and data a few hundred bytes. A transport sends nothing it could not hand
    // over here if it had to give it up.
    static constexpr std::size_t kMaxBytes = 256 * 1024;

    // The program's keep: created on first use and never destroyed.
    static RequestKeep& Program();

    RequestKeep() = default;
    RequestKeep(const RequestKeep&) = delete;
    RequestKeep& operator=(const RequestKeep&) = delete;

    // True when `bytes` more still fit.
    bool HasRoom(std::size_t bytes) const { return bytes <= kMaxBytes - bytes_; }
    struct Range {
        const void* at;
        std::size_t length;
    };
    // Keeps `owner` alive for as long as the keep lives; `written` is the memory of it the
    // request may still write, and what counts against the bound.
    template <typename T>
    void Keep(std::unique_ptr<T> owner, std::initializer_list<Range> written) {
        owners_.push_back(std::shared_ptr<void>(std::move(owner)));
        for (const Range& range : written)
            Add(range);
    }
    // True when every byte of [at, at + length) lies in memory kept here.
    bool Holds(const void* at, std::size_t length) const;
    std::size_t Bytes() const { return bytes_; }

private:
    void Add(const Range& range);

    std::vector<std::shared_ptr<void>> owners_;
    std::vector<Range> ranges_;
    std::size_t bytes_ = 0;
};

}  // namespace quillet

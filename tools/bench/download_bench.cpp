// The download streamed through each transport into the simulated drive: a real image file on
// disk (page cache), the ASPI transport over the in-process layer or the pass-through drive list
// over simulated volumes, and a virtual clock, so the programming wait takes no time. The drive
// and the simulator keep only counts and a checksum, so what is measured is the procedure.
//
// Counters: bytes_per_second (image bytes per second of the whole procedure) and peak_bytes, the
// most heap memory the procedure held at once beyond what was allocated before it started
// (counted by the replaced global allocation functions below). peak_bytes must not grow with
// the image: the image is never held whole. The largest image is 16 MiB - 2 KiB, the most the
// 24-bit buffer offset allows from product code 0.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "device/aspi_transport.h"
#include "device/pass_through.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"
#include "platform/virtual_clock.h"
#include "sim/aspi_layer.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"
#include "update/download.h"

// Heap accounting: every allocation carries its size in a header so that deletion can count it.
namespace {

std::atomic<size_t> gLive{0};
std::atomic<size_t> gPeak{0};
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    const size_t live = gLive.fetch_add(size) + size;
    size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
    if (pointer == nullptr)
        return;
    void* block = static_cast<char*>(pointer) - kHeader;
    gLive.fetch_sub(*static_cast<size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    Release(pointer);
}

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kProductCode = 0;
constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kLargest = 16 * kMiB - 2048;

// Image files in a temporary folder, one per size, made once.
class ImageFiles {
public:
    ImageFiles() {
        char pattern[] = "/tmp/quillet-download-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        folder_ = pattern;
    }
    ~ImageFiles() {
        std::error_code error;
        fs::remove_all(folder_, error);
    }

    std::string PathFor(int64_t size) {
        const fs::path path = folder_ / ("IMAGE" + std::to_string(size) + ".BIN");
        if (!fs::exists(path)) {
            std::ofstream out(path, std::ios::binary);
            std::vector<char> chunk(1 << 16);
            for (int64_t written = 0; written < size;) {
                const int64_t count = std::min<int64_t>(size - written, chunk.size());
                for (int64_t i = 0; i < count; ++i)
                    chunk[i] = static_cast<char>((written + i) * 131 % 251);
                out.write(chunk.data(), count);
                written += count;
            }
        }
        return path.string();
    }

private:
    fs::path folder_;
};

ImageFiles& Images() {
    static ImageFiles images;
    return images;
}

class Bar : public ProgressControl {
public:
    void SetRange(uint16_t lower, uint16_t upper) override {
        lower_ = lower;
        upper_ = upper;
    }
    void SetPos(int position) override { position_ = std::min(std::max(position, lower_), upper_); }
    void SetStep(int step) override { step_ = step; }
    void StepIt() override {
        position_ += step_;
        if (position_ > upper_)
            position_ = lower_ + (position_ - lower_) % std::max(1, upper_ - lower_);
    }
    int GetPos() override { return position_; }

private:
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
    int step_ = 10;
};

class NoStrings : public StringSource {
public:
    std::string LoadStringResource(int) override { return std::string(); }
};

// The drive list's catalogue searches find nothing and say nothing.
class EmptyDirectory : public DirectorySearch {
public:
    std::vector<std::string> FindFiles(const std::string&) override { return {}; }
};
class NoFiles : public FileSystem {
public:
    bool Exists(const std::string&) override { return false; }
    std::string CurrentDirectory() override { return "C:\\"; }
};
class DefaultsProfile : public ProfileReader {
public:
    uint32_t ReadString(const std::string&, const std::string&, const std::string&, char* buffer,
                        uint32_t size, const std::string&) override {
        if (size > 0)
            buffer[0] = '\0';
        return 0;
    }
};

void Report(benchmark::State& state, size_t peak, bool ok) {
    if (!ok)
        state.SkipWithError("the download failed");
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.counters["peak_bytes"] = static_cast<double>(peak);
}

void BM_AspiDownload(benchmark::State& state) {
    const std::string path = Images().PathFor(state.range(0));
    SystemFirmwareFiles files;
    NoStrings strings;
    size_t peak = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto clock = std::make_unique<VirtualClock>();
        auto events = std::make_unique<sim::SimulatedEvents>(*clock);
        auto layer = std::make_unique<sim::AspiLayer>(*clock, *events);
        events->Follow(*layer);
        layer->SetKeepRequests(false);
        layer->AddAdapter(7);
        auto drive = std::make_unique<sim::SimulatedDrive>();
        drive->SetSummaryOnly(true);
        layer->AddDrive(0, 0, 0, *drive);
        RecordedMessageBox messages;
        Bar bar;
        FirmwareDownload download(*clock, messages, files, strings);
        const size_t before = gLive.load();
        gPeak.store(before);
        state.ResumeTiming();

        // The transport lives for one update, as the update command makes it.
        AspiTransport transport(*layer, *events, *clock, messages);
        transport.LoadAspi();
        ok = download.DownloadFirmware(transport, 0, 0, 0, "CDRW-8432       ", kProductCode, path,
                                       bar) == 1 &&
             ok;

        state.PauseTiming();
        peak = std::max(peak, gPeak.load() - before);
        ok = ok && drive->ImageComplete();
        state.ResumeTiming();
    }
    Report(state, peak, ok);
}

void BM_PassThroughDownload(benchmark::State& state) {
    const std::string path = Images().PathFor(state.range(0));
    SystemFirmwareFiles files;
    NoStrings strings;
    EmptyDirectory directory;
    NoFiles fileSystem;
    DefaultsProfile profile;
    size_t peak = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto clock = std::make_unique<VirtualClock>();
        auto volumes = std::make_unique<sim::SimulatedVolumes>(clock.get());
        volumes->SetKeepCalls(false);
        auto drive = std::make_unique<sim::SimulatedDrive>();
        drive->SetSummaryOnly(true);
        volumes->MapDrive('F', *drive);
        RecordedMessageBox messages;
        PassThroughDriveList list(directory, fileSystem, profile, messages, *volumes, *clock);
        messages.Clear();  // the catalogue's own warnings about missing files
        Bar bar;
        FirmwareDownload download(*clock, messages, files, strings);
        const size_t before = gLive.load();
        gPeak.store(before);
        state.ResumeTiming();

        ok = download.DownloadFirmware(list, 0, path, 0, kProductCode, bar) == 1 && ok;

        state.PauseTiming();
        peak = std::max(peak, gPeak.load() - before);
        ok = ok && drive->ImageComplete() && messages.Boxes().empty();
        state.ResumeTiming();
    }
    Report(state, peak, ok);
}

BENCHMARK(BM_AspiDownload)->Arg(kMiB)->Arg(4 * kMiB)->Arg(kLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassThroughDownload)
    ->Arg(kMiB)
    ->Arg(4 * kMiB)
    ->Arg(kLargest)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();

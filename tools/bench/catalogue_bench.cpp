// The largest catalogue the tables allow (256 devices, each with 256 products and 256 files),
// searched for a drive that only the last product of the last device names: the NT source-list
// walk over FileCatalog and one IniCatalog::FilesForProduct, both over the portable reader.
// "cold" gives each lookup a fresh reader, so the file is read and parsed once per lookup;
// "warm" keeps the reader, as the program does. file_loads counts file reads per lookup.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/config_values.h"
#include "catalogue/file_catalog.h"
#include "catalogue/ini_catalog.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr int kCount = 256;
const std::string kDrive = "P255_255        ";

std::string ProductName(int d, int k) {
    char text[16];
    std::snprintf(text, sizeof text, "P%03d_%03d", d, k);
    return text;
}

std::string ImageName(int d, int k) {
    char text[24];
    std::snprintf(text, sizeof text, "F%03d_%03d.BIN", d, k);
    return text;
}

// A folder holding the catalogue and the images of the last device; the current directory
// while the benchmarks run.
class LargestCatalogue {
public:
    LargestCatalogue() {
        char pattern[] = "/tmp/quillet-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        folder_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(folder_);

        std::ofstream config("tarvex.ini", std::ios::binary);
        config << "[MAIN]\nDEVICE_NUM=" << kCount << "\n";
        for (int d = 0; d < kCount; ++d) {
            config << "[DEVICE" << d << "]\nPRODUCT_NUM=" << kCount << "\n";
            for (int k = 0; k < kCount; ++k) {
                config << "PRODUCT" << k << "=" << ProductName(d, k) << "\n";
            }
            config << "FILE_NUM=" << kCount << "\n";
            for (int k = 0; k < kCount; ++k) {
                config << "FILENAME" << k << "=1." << (k % 100) << " " << ImageName(d, k) << "\n";
            }
            config << "PRODUCT_ID=PPPPPPPP\n";
        }
        configSize_ = static_cast<std::size_t>(config.tellp());
        for (int k = 0; k < kCount; ++k)
            std::ofstream(ImageName(kCount - 1, k)).put('x');
    }
    ~LargestCatalogue() {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    std::size_t ConfigSize() const { return configSize_; }

private:
    fs::path folder_;
    fs::path previous_;
    std::size_t configSize_ = 0;
};

LargestCatalogue& Catalogue() {
    static LargestCatalogue catalogue;
    return catalogue;
}

// The NT source-list walk of one drive, as the main dialog does it: every device of every file
// that lists a matching product contributes its raw FILENAME texts, each put at the top.
std::vector<std::string> WalkSourceList(FileCatalog& catalog, const std::string& product) {
    std::vector<std::string> list;
    const std::string wanted = TrimTrailingSpace(product);
    for (int f = 0; f < catalog.ConfigFileCount(); ++f) {
        const int devices = catalog.ReadDeviceCount(f);
        for (int j = 0; j < devices; ++j) {
            const int products = catalog.ReadProductCount(f, j);
            for (int k = 0; k < products; ++k) {
                if (!ProductMatches(catalog.ReadProductName(f, j, k), wanted))
                    continue;
                const int entries = catalog.ReadFileCount(f, j);
                for (int l = 0; l < entries; ++l) {
                    list.insert(list.begin(), catalog.ReadFileEntry(f, j, l));
                }
                break;
            }
        }
    }
    return list;
}

// The portable reader, replaced by a fresh one (nothing parsed yet) when a lookup runs cold.
class FreshableReader : public ProfileReader {
public:
    uint32_t ReadString(const std::string& section, const std::string& key,
                        const std::string& defaultText, char* buffer, uint32_t size,
                        const std::string& path) override {
        return reader_->ReadString(section, key, defaultText, buffer, size, path);
    }
    void BeginLookup() override { reader_->BeginLookup(); }
    void EndLookup() override { reader_->EndLookup(); }
    void Refresh() { reader_ = std::make_unique<SystemProfileReader>(); }
    uint64_t FileLoads() const { return reader_->FileLoads(); }

private:
    std::unique_ptr<SystemProfileReader> reader_ = std::make_unique<SystemProfileReader>();
};

struct Services {
    SystemDirectorySearch directory;
    SystemFileSystem files;
    FreshableReader profile;
    RecordedMessageBox messages;
};

// Runs `lookup` once per iteration and counts the file reads it made.
template <typename Lookup>
void TimeLookups(benchmark::State& state, Services& services, bool warm, Lookup lookup) {
    uint64_t loads = 0;
    for (auto _ : state) {
        if (!warm) {
            state.PauseTiming();
            services.profile.Refresh();
            state.ResumeTiming();
        }
        const uint64_t before = services.profile.FileLoads();
        lookup();
        loads += services.profile.FileLoads() - before;
    }
    state.counters["file_loads"] =
        benchmark::Counter(static_cast<double>(loads), benchmark::Counter::kAvgIterations);
    state.counters["config_bytes"] = static_cast<double>(Catalogue().ConfigSize());
}

void NtSourceListWalk(benchmark::State& state, bool warm) {
    Catalogue();
    Services services;
    FileCatalog catalog(services.directory, services.files, services.profile, services.messages);
    TimeLookups(state, services, warm, [&] {
        ProfileLookup lookup = catalog.Lookup();
        std::vector<std::string> list = WalkSourceList(catalog, kDrive);
        if (list.size() != kCount)
            state.SkipWithError("wrong source list");
        benchmark::DoNotOptimize(list);
    });
}

void IniFilesForProduct(benchmark::State& state, bool warm) {
    Catalogue();
    Services services;
    IniCatalog catalog(services.directory, services.files, services.profile, services.messages);
    if (!catalog.Load())
        state.SkipWithError("catalogue does not load");
    TextTable versions;
    TextTable names;
    TimeLookups(state, services, warm, [&] {
        if (catalog.FilesForProduct(kDrive, versions, names) != kCount) {
            state.SkipWithError("wrong file list");
        }
        benchmark::DoNotOptimize(names);
    });
}

BENCHMARK_CAPTURE(NtSourceListWalk, cold, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(NtSourceListWalk, warm, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IniFilesForProduct, cold, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IniFilesForProduct, warm, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();

// The ASPI library service: the run-time loaded library with its two entry points, the support
// information and the command entry that takes a request block.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

class AspiLibrary {
public:
    virtual ~AspiLibrary() = default;

    // Loads the library by file name; false when it cannot be loaded.
    virtual bool Load(const std::string& name) = 0;
    // Resolves "GetASPI32SupportInfo" and "SendASPI32Command"; true when both exist.
    virtual bool HasEntryPoints() = 0;
    // The support information word: status in bits 8..15, host adapter count in bits 0..7.
    virtual uint32_t GetSupportInfo() = 0;
    // Hands a request block to the library; returns the library's status for it.
    virtual uint32_t SendCommand(void* requestBlock) = 0;
    // Frees the library; the entry points are gone afterwards. Harmless when nothing is loaded.
    virtual void Free() = 0;
};

// The platform's loader: LoadLibraryA, GetProcAddress and FreeLibrary on Windows, calling the
// entry points as cdecl functions. Elsewhere there is no such library and Load always fails;
// tests pass the in-process simulated layer instead.
class SystemAspiLibrary : public AspiLibrary {
public:
    SystemAspiLibrary() = default;
    ~SystemAspiLibrary() override;
    SystemAspiLibrary(const SystemAspiLibrary&) = delete;
    SystemAspiLibrary& operator=(const SystemAspiLibrary&) = delete;

    bool Load(const std::string& name) override;
    bool HasEntryPoints() override;
    uint32_t GetSupportInfo() override;
    uint32_t SendCommand(void* requestBlock) override;
    void Free() override;

private:
    // Unused where the platform has no such library.
    [[maybe_unused]] void* module_ = nullptr;
    [[maybe_unused]] void (*getSupportInfo_)() = nullptr;
    [[maybe_unused]] void (*sendCommand_)() = nullptr;
};

}  // namespace quillet

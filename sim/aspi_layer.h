// The in-process ASPI layer: the library's two entry points over a table of simulated host
// adapters (each with its own SCSI id) and simulated drives at target and logical unit. Requests
// complete at once inside SendCommand, later on the clock, or never (a drive fault); an abort can
// be refused. The same layer serves the simulated WNASPI32.DLL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/aspi_blocks.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/event_service.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"

namespace quillet::sim {

class AspiLayer : public AspiLibrary, public TimedCompletions {
public:
    static constexpr uint8_t kAbortRefused = 0x04;  // what SendCommand returns for a refused abort

    // One request block as it came in, and what SendCommand returned for it.
    struct Received {
        uintptr_t block = 0;  // where the block lies
        uint8_t command = 0;  // SRB_Cmd
        uint8_t adapter = 0;
        uint8_t target = 0;
        uint8_t lun = 0;
        uint8_t flags = 0;
        uint32_t bufferLength = 0;
        uintptr_t buffer = 0;
        uint8_t senseLength = 0;
        std::vector<uint8_t> cdb;  // SRB_CDBLen bytes, at most 16
        uintptr_t postProc = 0;
        uintptr_t toAbort = 0;  // abort requests
        uint32_t returned = 0;
    };

    // Completions are timed on `clock` and signalled through `events`; both must outlive the layer.
    AspiLayer(Clock& clock, EventService& events);
    AspiLayer(const AspiLayer&) = delete;
    AspiLayer& operator=(const AspiLayer&) = delete;

    // How the library looks to the loader.
    void SetPresent(bool present) { present_ = present; }
    void SetEntryPoints(bool supportInfo, bool sendCommand);
    // The status byte of the support information (0x01 unless set).
    void SetSupportStatus(uint8_t status) { supportStatus_ = status; }
    // Answers this support information word instead of the one built from the adapters.
    void OverrideSupportInfo(uint32_t word) { supportOverride_ = word; }

    // Adds a host adapter with its own SCSI id; returns its number. An adapter that does not
    // answer ends its host adapter inquiry with status 0x04.
    int AddAdapter(uint8_t ownScsiId = 7, bool answersInquiry = true);
    // Puts a drive (which must outlive the layer) at an adapter's target and logical unit; a place
    // off the bus (a target or unit outside 0 to 7) takes no drive.
    void AddDrive(int adapter, int target, int lun, SimulatedDrive& drive);
    // 0: requests finish inside SendCommand; otherwise that many milliseconds after it.
    void SetCompletionDelay(uint32_t milliseconds) { delay_ = milliseconds; }
    void SetRefusesAbort(bool refuses) { refusesAbort_ = refuses; }
    // false: Requests() records nothing from now on (long runs, benchmarks).
    void SetKeepRequests(bool keep) { keepRequests_ = keep; }

    // AspiLibrary
    bool Load(const std::string& name) override;
    bool HasEntryPoints() override;
    uint32_t GetSupportInfo() override;
    uint32_t SendCommand(void* requestBlock) override;
    // Unfinished requests outlive the unloading, as under a real library: a request given up
    // and never aborted still finishes on the clock, writing its block and data.
    void Free() override;

    // TimedCompletions
    std::optional<uint64_t> NextCompletionTime() const override;
    void CompleteDue() override;

    const std::vector<Received>& Requests() const { return received_; }
    // Requests taken and neither finished nor aborted.
    size_t Outstanding() const { return pending_.size(); }
    bool Loaded() const { return references_ > 0; }
    int LoadCount() const { return loads_; }
    int FreeCount() const { return frees_; }
    const std::string& LoadedName() const { return loadedName_; }
    // Entry point calls while the library was not loaded (a program fault).
    int CallsWhileUnloaded() const { return callsWhileUnloaded_; }

private:
    struct Adapter {
        uint8_t ownScsiId = 7;
        bool answersInquiry = true;
        std::vector<std::pair<int, SimulatedDrive*>> drives;  // key target * 8 + lun
    };
    struct Pending {
        SrbExecScsiCommand* block = nullptr;
        std::optional<uint64_t> due;  // none: never finishes
        TargetResult result;
        std::vector<uint8_t> data;  // what the drive sent for a data-in request
    };

    uint32_t HostAdapterInquiry(SrbHostAdapterInquiry& block);
    uint32_t ExecScsiCommand(SrbExecScsiCommand& block);
    uint32_t AbortRequest(SrbAbort& block);
    SimulatedDrive* DriveAt(const Adapter& adapter, int target, int lun) const;
    void Finish(Pending& pending);
    void Record(Received received);

    Clock& clock_;
    EventService& events_;
    bool present_ = true;
    bool supportEntry_ = true;
    bool sendEntry_ = true;
    uint8_t supportStatus_ = 0x01;
    std::optional<uint32_t> supportOverride_;
    std::vector<Adapter> adapters_;
    uint32_t delay_ = 0;
    bool refusesAbort_ = false;
    bool keepRequests_ = true;

    std::vector<Pending> pending_;
    std::vector<Received> received_;
    int references_ = 0;
    int loads_ = 0;
    int frees_ = 0;
    int callsWhileUnloaded_ = 0;
    std::string loadedName_;
};

}  // namespace quillet::sim

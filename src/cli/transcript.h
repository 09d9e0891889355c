// The transcript: one line for every command the drive completes, as it completes, so that a
// run cut short keeps everything before the cut. It sits between the commands and the drives'
// volumes, and sees each request record go out and come back.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/drive_backends.h"
#include "platform/clock.h"

namespace quillet {

// A backend whose volumes write the transcript to each of `outs`; everything else is the
// wrapped backend's. The streams, the backend and the clock must outlive the object.
class TranscribedBackend : public DriveBackend {
public:
    TranscribedBackend(DriveBackend& backend, Clock& clock, std::vector<std::ostream*> outs);

    // The transcript's first lines: the program and the device it was started for.
    void Header(const std::string& program, const std::string& device);

    VolumeDevices& Volumes() override { return volumes_; }
    std::string Name(char letter) const override { return backend_.Name(letter); }
    std::string BlockDevice(char letter) const override { return backend_.BlockDevice(letter); }
    std::string Problem() const override { return backend_.Problem(); }
    bool DriveRefusedLast() const override { return backend_.DriveRefusedLast(); }
    bool MayUpdate(std::string* why) override { return backend_.MayUpdate(why); }
    bool HoldForUpdate(char letter, std::string* why) override {
        return backend_.HoldForUpdate(letter, why);
    }
    std::vector<std::string> Refused() const override { return backend_.Refused(); }
    bool TransportStatus(uint8_t* host, uint8_t* driver) const override {
        return backend_.TransportStatus(host, driver);
    }

private:
    class TranscribedVolumes : public ForwardingVolumes {
    public:
        explicit TranscribedVolumes(TranscribedBackend& owner)
            : ForwardingVolumes(owner.backend_.Volumes()), owner_(owner) {}
        bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned) override;

    private:
        TranscribedBackend& owner_;
    };

    void Write(const std::string& line);

    DriveBackend& backend_;
    Clock& clock_;
    std::vector<std::ostream*> outs_;
    uint64_t start_;
    TranscribedVolumes volumes_{*this};
};

// The transcript's file, created or emptied for writing: never through a symbolic link, and
// nothing but a regular file with no other name (a program run with sudo must not truncate
// what a link placed in its way points to). Null, with the reason in `why`, when it is refused.
std::unique_ptr<std::ostream> OpenTranscriptFile(const std::string& path, std::string* why);

}  // namespace quillet

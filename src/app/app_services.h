// The operating-system services the application works with, handed to it by reference so that a
// test runs the whole main dialog over simulated ones. Every service must outlive the objects that
// are given it. Message boxes come from the user interface (UserInterface::MessageBoxes).
#pragma once

#include "device/request_keep.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/event_service.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/platform_identifier.h"
#include "platform/profile_reader.h"
#include "platform/volume_devices.h"

namespace quillet {

struct AppServices {
    PlatformIdentifier& platform;
    DirectorySearch& directory;
    FileSystem& files;
    ProfileReader& profile;
    FirmwareFiles& firmwareFiles;
    VolumeDevices& volumes;
    AspiLibrary& aspi;
    EventService& events;
    Clock& clock;
    // Where a given-up ASPI request stays: the program's own, unless a test that runs the program
    // many times in one process brings one per run.
    RequestKeep& keep = RequestKeep::Program();
};

}  // namespace quillet

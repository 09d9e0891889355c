// quillet-tcmu: serves the simulated drives of a WNASPI32.CFG-style file to the Linux kernel
// through target_core_user, so that they appear as real SCSI devices (/dev/srN, /dev/sgN) once
// the LIO loopback fabric exports them. Each drive's backstore is made with
// dev_config=quillet/Drive<n>; the server finds its UIO device by that name.
//
// usage: quillet-tcmu CONFIG [UIO_CLASS_DIR [DEV_DIR]]
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/config_values.h"
#include "platform/linux/sg_system.h"
#include "platform/profile_reader.h"
#include "sim/drive_config.h"
#include "sim/tcmu/served_drive.h"

namespace {

using namespace quillet;
using namespace quillet::sim;

constexpr char kSubtype[] = "/quillet/";

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The UIO device whose name is "tcm-user/<hba>/<backstore>/quillet/<section>"; empty if none.
std::string FindDevice(LinuxSgSystem& system, const std::string& classDir,
                       const std::string& section) {
    const std::string suffix = kSubtype + section;
    for (const std::string& device : system.List(classDir)) {
        const std::string name = ReadLine(classDir + "/" + device + "/name");
        if (name.rfind("tcm-user/", 0) == 0 && name.size() > suffix.size() &&
            strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0)
            return device;
    }
    return std::string();
}

struct Served {
    std::string section;
    std::unique_ptr<SimulatedDrive> drive;
    std::unique_ptr<ServedDrive> served;
    std::unique_ptr<TcmuRing> ring;
    int fd = -1;
    std::string imagePath;
    bool imageWritten = false;
    FILE* journal = nullptr;
    FILE* times = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: quillet-tcmu CONFIG [UIO_CLASS_DIR [DEV_DIR]]\n");
        return 2;
    }
    const std::string configPath = argv[1];
    const std::string classDir = argc > 2 ? argv[2] : "/sys/class/uio";
    const std::string devDir = argc > 3 ? argv[3] : "/dev";
    const double start = Seconds();

    SystemProfileReader profile;
    LinuxSgSystem system;
    const DriveConfigFile config(profile, configPath);
    const std::string folder = FolderOfPath(configPath);
    const std::vector<DriveConfig> drives = ReadDriveConfigs(config);
    std::vector<Served> served;
    served.reserve(drives.size());
    for (size_t n = 0; n < drives.size(); ++n) {
        const std::string section = "Drive" + std::to_string(n);
        const std::string device = FindDevice(system, classDir, section);
        if (device.empty())
            continue;
        Served s;
        s.section = section;
        s.fd = open((devDir + "/" + device).c_str(), O_RDWR | O_CLOEXEC);
        const size_t size =
            std::strtoul(ReadLine(classDir + "/" + device + "/maps/map0/size").c_str(), nullptr, 0);
        void* map = s.fd < 0 || size == 0
                        ? MAP_FAILED
                        : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, s.fd, 0);
        if (map == MAP_FAILED) {
            std::fprintf(stderr, "quillet-tcmu: %s: cannot map %s/%s: %s\n", section.c_str(),
                         devDir.c_str(), device.c_str(), std::strerror(errno));
            return 1;
        }
        s.ring = std::make_unique<TcmuRing>(static_cast<uint8_t*>(map), size);
        if (!s.ring->Valid()) {
            std::fprintf(stderr, "quillet-tcmu: %s: %s holds no TCMU mailbox this server reads\n",
                         section.c_str(), device.c_str());
            return 1;
        }
        s.drive = std::make_unique<SimulatedDrive>(drives[n].model);
        for (const Fault& fault : drives[n].faults)
            s.drive->AddFault(fault);
        std::vector<ServedTrigger> triggers;
        const std::pair<const char*, ServedTrigger::Action> keys[] = {
            {"Exit", ServedTrigger::Action::Exit},
            {"Stall", ServedTrigger::Action::Stall},
            {"Delay", ServedTrigger::Action::Delay}};
        for (const auto& key : keys) {
            ServedTrigger trigger;
            if (ParseTrigger(config.Text(section, key.first, ""), key.second, &trigger))
                triggers.push_back(trigger);
        }
        s.journal = std::fopen((folder + drives[n].journalName).c_str(), "a");
        s.times =
            std::fopen((folder + config.Text(section, "Times", section + ".TIM")).c_str(), "a");
        if (s.journal == nullptr || s.times == nullptr) {
            std::fprintf(stderr, "quillet-tcmu: %s: cannot write its journal beside %s\n",
                         section.c_str(), configPath.c_str());
            return 1;
        }
        s.imagePath = folder + drives[n].imageName;
        FILE* journal = s.journal;
        FILE* times = s.times;
        s.served = std::make_unique<ServedDrive>(
            *s.drive, triggers,
            [journal, times, start](const std::string& line) {
                // Written at once: the tests read the journal while the drive is served.
                std::fprintf(journal, "%s\n", line.c_str());
                std::fflush(journal);
                std::fprintf(times, "%s %.6f\n", line.substr(0, line.find(' ')).c_str(),
                             Seconds() - start);
                std::fflush(times);
            },
            [](uint32_t ms) {
                const timespec wait{time_t(ms / 1000), long(ms % 1000) * 1000000L};
                nanosleep(&wait, nullptr);
            });
        std::printf("quillet-tcmu: serving %s on %s/%s\n", section.c_str(), devDir.c_str(),
                    device.c_str());
        served.push_back(std::move(s));
    }
    if (served.empty()) {
        std::fprintf(stderr, "quillet-tcmu: no TCMU device named .../quillet/DriveN for %s\n",
                     configPath.c_str());
        return 2;
    }
    std::fflush(stdout);

    std::vector<pollfd> waits;
    for (const Served& s : served)
        waits.push_back(pollfd{s.fd, POLLIN, 0});
    for (bool first = true;; first = false) {
        if (!first && poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR)
            return 1;
        for (size_t i = 0; i < served.size(); ++i) {
            Served& s = served[i];
            // A device that went away (its backstore removed) is served no more, rather than
            // polled in a loop.
            if (!first && (waits[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                std::printf("quillet-tcmu: %s: its device went away\n", s.section.c_str());
                std::fflush(stdout);
                waits[i].fd = -1;
                continue;
            }
            if (!first && (waits[i].revents & POLLIN) == 0)
                continue;
            uint32_t count = 0;
            if (!first && read(s.fd, &count, sizeof count) != sizeof count)
                continue;
            TcmuCommand command;
            bool answered = false;
            while (s.ring->Take(&command)) {
                const ServeResult result = s.served->Serve(*s.ring, command);
                if (result == ServeResult::ExitNow) {
                    std::printf("quillet-tcmu: %s: ending before its command %u, as configured\n",
                                s.section.c_str(), s.drive->CommandCount() + 1);
                    std::fflush(stdout);
                    _exit(0);
                }
                answered |= result == ServeResult::Answered;
                if (s.drive->ImageComplete() && !s.imageWritten) {
                    const std::vector<uint8_t>& image = s.drive->ReceivedImage();
                    std::ofstream(s.imagePath, std::ios::binary)
                        .write(reinterpret_cast<const char*>(image.data()),
                               static_cast<std::streamsize>(image.size()));
                    s.imageWritten = true;
                }
            }
            // The kernel looks at the tail when poked.
            if (answered) {
                const uint32_t poke = 0;
                if (write(s.fd, &poke, sizeof poke) < 0)
                    return 1;
            }
        }
    }
}

// aspiscan: loads the ASPI library through the Windows loader the way the program does, scans
// every adapter and prints what it found, one line each, for the end-to-end tests:
//
//     message <text>                           a message box the transport showed (answered OK)
//     adapters <count>                         -1 when the library could not be loaded
//     drive <adapter>:<target>:<lun> [<vendor>] [<product>] [<revision>] tag=<tag> ready=<0|-1>
//
// With "download <drive index> <product code, hex> <length>" it then sends an image of <length>
// bytes (byte i is i mod 251) to that drive in WRITE BUFFER blocks of 16384 bytes from the product
// code on, closes it with a zero-length WRITE BUFFER, and prints "download ok" or
// "download failed <SRB_Status> <SRB_HaStat>".
//
// Exit code 0 when the library was loaded (and the download, if asked for, succeeded), else 1.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/aspi_transport.h"
#include "device/commands.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/event_service.h"
#include "platform/message_box.h"

namespace {

using namespace quillet;

// Message boxes would wait for a hand that is not there: print them and answer OK.
class ConsoleMessages : public MessageBoxService {
public:
    MessageButton Show(const std::string& text, const std::string&, MessageIcon, bool,
                       WindowHandle) override {
        std::printf("message %s\n", text.c_str());
        std::fflush(stdout);
        return MessageButton::Ok;
    }
};

constexpr uint32_t kBlockSize = 16384;

// One WRITE BUFFER mode 5 through the download's request block, polled without sleeping.
bool WriteBuffer(AspiTransport& transport, const DriveAddress& address, uint32_t offset,
                 uint32_t length) {
    SrbExecScsiCommand& block = transport.WriteBufferBlock();
    block = AddressedExecBlock(address);
    block.SRB_Flags = length > 0 ? kSrbDirectionOut : kSrbNoTransfer;
    block.SRB_BufLen = length;
    block.SRB_BufPointer = length > 0 ? transport.TransferBuffer() : nullptr;
    block.SRB_SenseLen = kWriteBufferSenseLength;
    block.SRB_CDBLen = kWriteBufferCdbLength;
    const std::array<uint8_t, kWriteBufferCdbLength> cdb = WriteBufferCdb(offset, length);
    std::memcpy(block.CDBByte, cdb.data(), cdb.size());
    const bool carried = transport.ExecuteBlock(block, Completion::PollBusy);
    if (carried && block.SRB_Status == kRequestCompleted && block.SRB_HaStat == kHostOk)
        return true;
    std::printf("download failed %02x %02x\n", block.SRB_Status, block.SRB_HaStat);
    return false;
}

bool Download(AspiTransport& transport, int index, uint32_t productCode, uint32_t length) {
    const DriveAddress address = transport.Address(index);
    uint32_t offset = productCode;
    for (uint32_t sent = 0; sent < length;) {
        const uint32_t size = length - sent < kBlockSize ? length - sent : kBlockSize;
        for (uint32_t i = 0; i < size; ++i)
            transport.TransferBuffer()[i] = static_cast<uint8_t>((sent + i) % 251);
        if (!WriteBuffer(transport, address, offset, size))
            return false;
        sent += size;
        offset += size;
    }
    if (!WriteBuffer(transport, address, offset, 0))
        return false;
    std::printf("download ok\n");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SystemAspiLibrary library;
    SystemEvents events;
    SystemClock clock;
    ConsoleMessages messages;
    AspiTransport transport(library, events, clock, messages);

    const bool loaded = transport.LoadAspi();
    std::printf("adapters %ld\n", static_cast<long>(transport.AdapterCount()));
    if (!loaded)
        return 1;
    transport.ScanAdapters();
    for (int i = 0; i < transport.DriveCount(); ++i) {
        const DriveAddress address = transport.Address(i);
        const DriveIdentity identity = transport.Identity(i);
        std::string tag;
        if (!transport.ReadFirmwareTag(address, &tag))
            tag = "?";
        const int ready = transport.TestUnitReady(address);
        std::printf("drive %d:%d:%d [%s] [%s] [%s] tag=%s ready=%d\n",
                    static_cast<int>(address.hostAdapter), static_cast<int>(address.target),
                    static_cast<int>(address.lun), identity.vendor.c_str(),
                    identity.product.c_str(), identity.revision.c_str(), tag.c_str(), ready);
    }
    if (argc == 5 && std::strcmp(argv[1], "download") == 0) {
        const int index = std::atoi(argv[2]);
        const auto productCode = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 16));
        const auto length = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10));
        if (index < 0 || index >= transport.DriveCount() || length == 0) {
            std::printf("download failed: no drive %d or nothing to send\n", index);
            return 1;
        }
        return Download(transport, index, productCode, length) ? 0 : 1;
    }
    return 0;
}

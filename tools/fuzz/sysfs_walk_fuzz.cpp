// The walk that pairs SCSI generic nodes with CD devices (FindScsiGenericNodes, NodeForDevice)
// and the media-polling switch of each node, over a small sysfs and /dev decoded from the input.
//
// Input: lines (LF). The first is the device path a user gives ("/dev/sr0", "sg1"). Each other
// line adds one entry to the tree, its parent folders made as needed:
//   PATH/            a folder
//   PATH=TEXT        a file holding TEXT (up to the line's end)
//   PATH->TARGET     a link; a relative TARGET is taken from the link's folder, ".." climbing
//   !PATH=TEXT       a file that refuses every write ("!PATH" for an empty one)
// Paths are absolute or taken from "/"; names may hold any byte but "/" and LF. As readdir does,
// a listing never shows "." or "..", and a link loop ends the lookup after 40 links (ELOOP).
//
// The walk must read nothing outside /sys, open nothing but a generic node under /dev, write
// only the polling attribute of a node it opened, list each folder a bounded number of times,
// pair each node with a CD device its own sysfs folder lists, and put back each polling value it
// switched off.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/sg_system.h"
#include "platform/linux/sg_volume_devices.h"
#include "platform/pass_through_record.h"

namespace {

using quillet::SgNode;

constexpr int kMaxLinks = 40;  // the kernel's limit on links followed in one lookup

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

// A path the walk may look at: under the top folder, without "." or ".." or empty names.
bool PlainPathUnder(const std::string& path, const std::string& top) {
    if (path.compare(0, top.size(), top) != 0 || path.size() == top.size())
        return false;
    for (size_t p = 0; p < path.size(); ++p) {
        if (path[p] != '/')
            continue;
        const size_t end = path.find('/', p + 1);
        const std::string name = path.substr(p + 1, end == std::string::npos ? end : end - p - 1);
        if ((name.empty() && end != std::string::npos) || name == "." || name == "..")
            return false;
    }
    return true;
}

struct Entry {
    enum Kind { Folder, File, Link } kind = Folder;
    std::string text;  // a file's text, or a link's target
    bool refusesWrites = false;
};

class FakeSysfs : public quillet::SgSystem {
public:
    explicit FakeSysfs(const std::string& lines) {
        entries_["/"] = Entry{};
        size_t start = 0;
        while (start < lines.size()) {
            size_t end = lines.find('\n', start);
            if (end == std::string::npos)
                end = lines.size();
            AddLine(lines.substr(start, end - start));
            start = end + 1;
        }
    }

    int Open(const std::string& path, int, int* error) override {
        // Only "/dev/" and one name of a generic node.
        if (!PlainPathUnder(path, "/dev/") || path.find('/', 5) != std::string::npos ||
            path.compare(5, 2, "sg") != 0)
            std::abort();
        *error = 0;
        opened_.insert(path);
        return nextFd_++;
    }
    int SgIo(int, sg_io_hdr_t*, int*) override {
        std::abort();  // nothing here sends a command
    }
    void Close(int) override {}
    bool ReadText(const std::string& path, std::string* text) override {
        Count(path);
        const Entry* entry = Resolve(path);
        if (entry == nullptr || entry->kind != Entry::File)
            return false;
        *text = entry->text;
        return true;
    }
    bool WriteText(const std::string& path, const std::string& text, int* error) override {
        if (allowedWrites_.count(path) == 0)
            std::abort();  // not the polling attribute of a node the walk opened
        Entry* entry = Resolve(path);
        if (entry == nullptr || entry->kind != Entry::File || entry->refusesWrites) {
            *error = entry == nullptr ? 2 : 13;  // ENOENT, EACCES
            return false;
        }
        entry->text = text;
        *error = 0;
        return true;
    }
    std::vector<std::string> List(const std::string& folder) override {
        Count(folder);
        std::vector<std::string> names;
        const std::string* resolved = ResolvedPath(folder);
        if (resolved == nullptr || entries_[*resolved].kind != Entry::Folder)
            return names;
        const std::string prefix = *resolved == "/" ? "/" : *resolved + "/";
        for (auto it = entries_.lower_bound(prefix);
             it != entries_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
            const std::string name = it->first.substr(prefix.size());
            if (name.find('/') == std::string::npos && name != "." && name != "..")
                names.push_back(name);
        }
        return names;
    }
    bool MayAccess(const std::string&, int, int*) override {
        std::abort();  // the walk asks no access questions; the update's check does
    }
    bool MaySendAnyCommand() override { return true; }

    void AllowWrite(const std::string& path) { allowedWrites_.insert(path); }
    int calls() const { return calls_; }
    // The text of a file as the tree holds it now, through links; nullptr when there is none.
    const std::string* TextOf(const std::string& path) {
        const Entry* entry = Resolve(path);
        return entry != nullptr && entry->kind == Entry::File ? &entry->text : nullptr;
    }

private:
    void AddLine(const std::string& line) {
        if (line.empty())
            return;
        Entry entry;
        std::string path = line;
        if (path[0] == '!') {
            entry.kind = Entry::File;
            entry.refusesWrites = true;
            path.erase(0, 1);
        }
        size_t at;
        if (!entry.refusesWrites && (at = path.find("->")) != std::string::npos) {
            entry.kind = Entry::Link;
            entry.text = path.substr(at + 2);
            path.resize(at);
        } else if ((at = path.find('=')) != std::string::npos) {
            entry.kind = Entry::File;
            entry.text = path.substr(at + 1);
            path.resize(at);
        }
        std::vector<std::string> parts = Components(path);
        if (parts.empty())
            return;
        std::vector<std::string> parent;
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            parent.push_back(parts[i]);
            entries_.emplace(Joined(parent), Entry{});  // an existing entry stays as it is
        }
        entries_[Joined(parts)] = entry;
    }

    void Count(const std::string& path) {
        if (!PlainPathUnder(path, "/sys/"))
            std::abort();  // a look outside sysfs
        ++calls_;
    }

    // The tree's own path for `path`, links followed; nullptr when it names nothing.
    const std::string* ResolvedPath(const std::string& path) {
        std::vector<std::string> pending = Components(path);
        std::vector<std::string> done;
        int links = 0;
        size_t next = 0;
        while (next < pending.size()) {
            const std::string part = pending[next++];
            if (part == ".")
                continue;
            if (part == "..") {
                if (!done.empty())
                    done.pop_back();
                continue;
            }
            done.push_back(part);
            const auto found = entries_.find(Joined(done));
            if (found == entries_.end())
                return nullptr;
            if (found->second.kind != Entry::Link)
                continue;
            if (++links > kMaxLinks)
                return nullptr;
            done.pop_back();
            const std::string& target = found->second.text;
            if (!target.empty() && target[0] == '/')
                done.clear();
            std::vector<std::string> rest = Components(target);
            rest.insert(rest.end(), pending.begin() + static_cast<std::ptrdiff_t>(next),
                        pending.end());
            pending = rest;
            next = 0;
        }
        resolved_ = Joined(done);
        return entries_.count(resolved_) ? &resolved_ : nullptr;
    }
    Entry* Resolve(const std::string& path) {
        const std::string* resolved = ResolvedPath(path);
        return resolved == nullptr ? nullptr : &entries_[*resolved];
    }

    std::map<std::string, Entry> entries_;
    std::string resolved_;
    std::set<std::string> opened_;
    std::set<std::string> allowedWrites_;
    int nextFd_ = 3;
    int calls_ = 0;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n == name)
            return true;
    }
    return false;
}

void CheckNodes(FakeSysfs& system, const std::vector<SgNode>& nodes) {
    const std::vector<std::string> generic = system.List("/sys/class/scsi_generic/");
    std::set<std::string> seen;
    for (const SgNode& node : nodes) {
        // One node per generic name the class lists, each a plain name under /dev.
        const std::string name = BaseName(node.path);
        if (node.path != "/dev/" + name || name.compare(0, 2, "sg") != 0 ||
            !Contains(generic, name) || !seen.insert(name).second)
            std::abort();
        // Its CD device is one its own device folder lists.
        if (!node.block.empty() &&
            (node.block.compare(0, 2, "sr") != 0 ||
             !Contains(system.List("/sys/class/scsi_generic/" + name + "/device/block"),
                       node.block)))
            std::abort();
    }
    for (const std::string& name : generic) {
        if (name.compare(0, 2, "sg") == 0 && seen.count(name) == 0)
            std::abort();  // a generic node left out
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t firstEnd = input.find('\n');
    const std::string device = input.substr(0, firstEnd);
    FakeSysfs system(firstEnd == std::string::npos ? std::string() : input.substr(firstEnd + 1));

    const std::vector<SgNode> nodes = quillet::FindScsiGenericNodes(system);
    // One listing of the class, and one of each node's block folder.
    if (system.calls() > 1 + static_cast<int>(nodes.size()))
        std::abort();
    CheckNodes(system, nodes);

    const SgNode chosen = quillet::NodeForDevice(system, device);
    bool listed = false;
    for (const SgNode& node : nodes) {
        if (node.path == chosen.path && node.block == chosen.block)
            listed = true;
    }
    if (listed) {
        // Found by its own name or by its CD device's.
        const std::string name = BaseName(device);
        if (BaseName(chosen.path) != name && chosen.block != name)
            std::abort();
    } else if (chosen.path != device || !chosen.block.empty()) {
        std::abort();  // nothing found gives the path as given
    }

    // Each node's media polling switched off and back on, or left to the closing to put back.
    std::map<std::string, std::string> before;
    for (const SgNode& node : nodes) {
        if (node.block.empty())
            continue;
        const std::string attribute = "/sys/block/" + node.block + "/events_poll_msecs";
        system.AllowWrite(attribute);
        if (const std::string* text = system.TextOf(attribute))
            before.emplace(attribute, *text);
    }
    {
        quillet::SgVolumeDevices volumes(system, nodes);
        uint8_t off = 1;
        uint8_t on = 0;
        for (size_t i = 0; i < nodes.size() && i < 26; ++i) {
            const char letter = static_cast<char>('A' + i);
            const quillet::VolumeHandle handle =
                volumes.Open(letter, quillet::VolumeAccess::ReadWrite);
            if (handle == quillet::kInvalidVolumeHandle)
                std::abort();
            const int callsBefore = system.calls();
            volumes.IoControl(handle, quillet::kIoctlStorageMcnControl, &off, 1, nullptr, 0,
                              nullptr);
            // The attribute and, for a negative one, the kernel's default: nothing else.
            if (system.calls() - callsBefore > 2)
                std::abort();
            if (i % 2 == 0)
                volumes.IoControl(handle, quillet::kIoctlStorageMcnControl, &on, 1, nullptr, 0,
                                  nullptr);
            if (i % 3 != 2)
                volumes.Close(handle);  // the rest are closed with the object
        }
    }
    // Every value is back as it was, white space around it aside.
    for (const auto& [attribute, text] : before) {
        const std::string* now = system.TextOf(attribute);
        if (now == nullptr)
            std::abort();
        if (*now == text)
            continue;
        const size_t first = text.find_first_not_of(" \t\r\n");
        const size_t last = text.find_last_not_of(" \t\r\n");
        if (first == std::string::npos || *now != text.substr(first, last - first + 1))
            std::abort();
    }
    return 0;
}

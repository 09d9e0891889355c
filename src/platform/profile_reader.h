// Profile-string reading: one value of a profile file ("[section]" lines and "key=value" lines),
// read the way the Windows profile functions read it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillet {

class ProfileReader {
public:
    virtual ~ProfileReader() = default;

    // Copies the value of `key` in `section` of the profile file `path` into `buffer` (`size`
    // bytes), or `defaultText` when the file, the section or the key is missing. Section and key
    // names are compared without regard to letter case; the first of duplicate sections and of
    // duplicate keys counts. White space around keys and values is dropped and one pair of
    // matching quotes around a value is removed. At most `size` - 1 bytes are copied and the text
    // is always terminated (nothing is written when `size` is 0). Returns the number of bytes
    // copied, the terminator not counted. A `path` without a folder names a file of the current
    // directory. A file saved with a byte-order mark (UTF-16, as Notepad's "Unicode", or UTF-8)
    // reads as single-byte text of the user's code page, Windows-1252 for the reader of its own.
    virtual uint32_t ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultText, char* buffer, uint32_t size,
                                const std::string& path) = 0;

    // Bracket one lookup (calls may nest): inside it a reader may answer every read of a file
    // from a single reading of it, so a change made while the lookup runs may go unseen. Outside
    // any lookup every read sees the file as it is. Use ProfileLookup rather than calling these.
    virtual void BeginLookup() {}
    virtual void EndLookup() {}
};

// One lookup over a reader, for as long as the object lives.
class ProfileLookup {
public:
    explicit ProfileLookup(ProfileReader& reader) : reader_(reader) { reader_.BeginLookup(); }
    ~ProfileLookup() { reader_.EndLookup(); }
    ProfileLookup(const ProfileLookup&) = delete;
    ProfileLookup& operator=(const ProfileLookup&) = delete;

private:
    ProfileReader& reader_;
};

struct ProfileFileCache;

// The platform's reader: the Windows profile functions on Windows, a reader of its own elsewhere.
// The reader of its own keeps each file it has parsed and parses it again only when the file
// changes (as the Windows reader does); inside a lookup it looks at each file once, so a lookup
// that asks many keys costs one reading of the file and no further system calls.
class SystemProfileReader : public ProfileReader {
public:
    SystemProfileReader();
    ~SystemProfileReader() override;
    SystemProfileReader(const SystemProfileReader&) = delete;
    SystemProfileReader& operator=(const SystemProfileReader&) = delete;

    uint32_t ReadString(const std::string& section, const std::string& key,
                        const std::string& defaultText, char* buffer, uint32_t size,
                        const std::string& path) override;
    void BeginLookup() override;
    void EndLookup() override;

    // How many times the reader of its own has read a file's text from disk; the Windows reader
    // keeps its cache out of sight and always reports 0.
    uint64_t FileLoads() const;

private:
    std::unique_ptr<ProfileFileCache> cache_;
};

}  // namespace quillet

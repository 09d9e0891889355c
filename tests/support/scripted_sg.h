// A scripted kernel for the Linux services: opens answered with a chosen error, SG_IO calls
// recorded and answered by the test, sysfs and proc files and folders in maps, access questions
// answered by path.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/sg_system.h"

namespace quillet {

class ScriptedSg : public SgSystem {
public:
    int Open(const std::string& path, int flags, int* error) override {
        opens.push_back(path);
        openFlags = flags;
        const auto byPath = openErrors.find(path);
        *error = byPath == openErrors.end() ? openError : byPath->second;
        return *error ? -1 : 7;
    }
    int SgIo(int fd, sg_io_hdr_t* header, int* error) override {
        EXPECT_EQ(fd, 7);
        seen.push_back(*header);
        cdbs.emplace_back(header->cmdp, header->cmdp + header->cmd_len);
        *error = 0;
        if (answer)
            return answer(header, error);
        return 0;
    }
    void Close(int fd) override { closed.push_back(fd); }
    bool ReadText(const std::string& path, std::string* text) override {
        const auto found = files.find(path);
        if (found == files.end())
            return false;
        *text = found->second;
        return true;
    }
    bool WriteText(const std::string& path, const std::string& text, int* error) override {
        *error = writeError;
        if (writeError)
            return false;
        files[path] = text;
        writes.push_back(text);
        return true;
    }
    std::vector<std::string> List(const std::string& folder) override {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::vector<std::string>() : found->second;
    }
    bool MayAccess(const std::string& path, int mode, int* error) override {
        accessed.emplace_back(path, mode);
        const auto found = accessErrors.find(path);
        *error = found == accessErrors.end() ? 0 : found->second;
        return *error == 0;
    }
    bool MaySendAnyCommand() override { return anyCommand; }

    int openError = 0;
    std::map<std::string, int> openErrors;  // by path, before openError
    int openFlags = 0;
    int writeError = 0;
    std::function<int(sg_io_hdr_t*, int*)> answer;
    std::vector<std::string> opens;
    std::vector<sg_io_hdr_t> seen;  // pointers into the call's own record: compare, do not read
    std::vector<std::vector<uint8_t>> cdbs;
    std::vector<int> closed;
    std::map<std::string, std::string> files;
    std::vector<std::string> writes;
    std::map<std::string, std::vector<std::string>> folders;  // what List answers
    std::map<std::string, int> accessErrors;                  // MayAccess's errno by path
    std::vector<std::pair<std::string, int>> accessed;        // path and mode asked
    bool anyCommand = true;                                   // CAP_SYS_RAWIO
};

}  // namespace quillet

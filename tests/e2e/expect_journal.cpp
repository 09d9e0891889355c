// expectjournal: prints the journal a simulated drive must hold after one run of the program, from
// the whole-flow table the unit tests check the program's flows against
// (tests/support/expected_journal.h), numbered as the journal files are. The end-to-end tests
// compare the real program's journal files with it, so neither side's lines are written twice.
//
// usage: expectjournal aspi|nt ENDING plain|tagged PRODUCT-CODE IMAGE-LENGTH
//   ENDING: updated, disc, switch-refused, header-unread, untouched, or block-refused=N (N the
//   refused WRITE BUFFER, counted from 1 over the blocks and the closing command)
//   IMAGE-LENGTH: of the image file, or of the drive's section of a tagged image
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/expected_journal.h"

namespace {

namespace journal = quillet::test::journal;

bool ParseNumber(const char* text, unsigned long long* value) {
    char* end = nullptr;
    *value = std::strtoull(text, &end, 0);
    return end != text && *end == '\0';
}

bool ParseEnding(const std::string& text, journal::Update* update) {
    const std::string refused = "block-refused=";
    if (text.compare(0, refused.size(), refused) == 0) {
        unsigned long long block = 0;
        if (!ParseNumber(text.c_str() + refused.size(), &block) || block == 0)
            return false;
        update->ending = journal::Ending::BlockRefused;
        update->refusedBlock = static_cast<size_t>(block);
        return true;
    }
    const struct {
        const char* name;
        journal::Ending ending;
    } endings[] = {{"updated", journal::Ending::Updated},
                   {"disc", journal::Ending::DiscFound},
                   {"switch-refused", journal::Ending::SwitchRefused},
                   {"header-unread", journal::Ending::HeaderUnread},
                   {"untouched", journal::Ending::Untouched}};
    for (const auto& ending : endings) {
        if (text == ending.name) {
            update->ending = ending.ending;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    journal::Update update;
    unsigned long long code = 0;
    unsigned long long length = 0;
    const bool valid =
        argc == 6 && (std::strcmp(argv[1], "aspi") == 0 || std::strcmp(argv[1], "nt") == 0) &&
        ParseEnding(argv[2], &update) &&
        (std::strcmp(argv[3], "plain") == 0 || std::strcmp(argv[3], "tagged") == 0) &&
        ParseNumber(argv[4], &code) && code <= 0xFFFFFFFFull && ParseNumber(argv[5], &length);
    if (!valid) {
        std::fprintf(stderr,
                     "usage: expectjournal aspi|nt ENDING plain|tagged PRODUCT-CODE "
                     "IMAGE-LENGTH\n");
        return 2;
    }
    update.aspi = std::strcmp(argv[1], "aspi") == 0;
    update.tagged = std::strcmp(argv[3], "tagged") == 0;
    update.productCode = static_cast<uint32_t>(code);
    update.imageLength = length;
    for (const std::string& line : journal::Numbered(journal::WholeFlow(update)))
        std::printf("%s\n", line.c_str());
    return 0;
}

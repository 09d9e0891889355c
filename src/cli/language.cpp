#include "cli/language.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <vector>

namespace quillet {

namespace {

constexpr char kDomain[] = "quillet";
// The message whose translation is the catalogue's header, with its Language field.
constexpr char kHeader[] = "";

// The languages of the Windows program's resources, by the codes of the catalogues.
struct ResourceLanguageOfCode {
    const char* code;
    LanguageId language;
};
constexpr ResourceLanguageOfCode kLanguages[] = {
    {"de", 0x0407}, {"fr", 0x040C}, {"it", 0x0410}, {"es", 0x0C0A}, {"ja", 0x0411}};

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/'));
}

int untranslated = 0;  // UntranslatedScope objects alive

}  // namespace

const char* Translate(const char* text) {
    // The empty text would give the catalogue's header.
    return untranslated > 0 || *text == '\0' ? text : gettext(text);
}

const char* TranslatePlural(const char* one, const char* many, unsigned long count) {
    if (untranslated > 0)
        return count == 1 ? one : many;
    return ngettext(one, many, count);
}

std::string ErrorText(int error) {
    if (untranslated == 0)
        return std::strerror(error);
    const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const std::string text = c ? strerror_l(error, c) : std::strerror(error);
    if (c)
        freelocale(c);
    return text;
}

UntranslatedScope::UntranslatedScope() {
    ++untranslated;
}

UntranslatedScope::~UntranslatedScope() {
    --untranslated;
}

void SetUpLanguage() {
    std::setlocale(LC_ALL, "");
    // A build tree (bin/ beside share/) and an unpacked package carry their catalogues with them.
    const std::string beside = ProgramFolder() + "/../share/locale";
    bindtextdomain(kDomain, access(beside.c_str(), R_OK) == 0 ? beside.c_str() : QUILLET_LOCALEDIR);
    textdomain(kDomain);
}

LanguageId ResourceLanguage() {
    // The catalogue's header names its language; with no catalogue chosen it is not translated.
    const std::string header = gettext(kHeader);
    const size_t at = header.find("Language: ");
    if (at == std::string::npos)
        return kLanguageEnglishUs;
    const std::string code = header.substr(at + 10, 2);
    for (const ResourceLanguageOfCode& known : kLanguages) {
        if (code == known.code)
            return known.language;
    }
    return kLanguageEnglishUs;
}

std::string InTerminalCharset(const std::string& text) {
    const char* charset = nl_langinfo(CODESET);
    if (charset == nullptr || std::strcmp(charset, "UTF-8") == 0)
        return text;
    const iconv_t convert = iconv_open(charset, "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string shown;
    std::vector<char> out(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* next = out.data();
        size_t outLeft = out.size();
        const size_t done = iconv(convert, &in, &inLeft, &next, &outLeft);
        shown.append(out.data(), static_cast<size_t>(next - out.data()));
        if (done != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // A character the charset lacks, or a broken sequence: one "?" for its bytes.
        shown += '?';
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
    }
    iconv_close(convert);
    return shown;
}

std::string Fill(const std::string& text, std::initializer_list<std::string> values) {
    std::string filled;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t close = text.find('}', i);
        if (text[i] == '{' && close != std::string::npos && close - i == 2 && text[i + 1] >= '1' &&
            static_cast<size_t>(text[i + 1] - '1') < values.size()) {
            filled += *(values.begin() + (text[i + 1] - '1'));
            i = close;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

std::string YesNoSuffix() {
    // TRANSLATORS: after a question; the first letter of the yes answer, then N (no, the default).
    return _("[y/N]");
}

bool MeansYes(const std::string& answer) {
    const size_t first = answer.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const std::string given = answer.substr(first);
    // TRANSLATORS: the beginnings of the answers that mean yes, separated by |, as typed.
    std::string yes = std::string(_("y|yes")) + "|y|Y";
    size_t start = 0;
    while (start <= yes.size()) {
        const size_t bar = std::min(yes.find('|', start), yes.size());
        const std::string word = yes.substr(start, bar - start);
        if (!word.empty() && given.size() >= word.size() &&
            strncasecmp(given.c_str(), word.c_str(), word.size()) == 0)
            return true;
        start = bar + 1;
    }
    return false;
}

}  // namespace quillet

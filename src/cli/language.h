// The user's language for quillet: its own sentences from the gettext catalogues (po/), the
// Windows program's texts from its resources in the same language, both in the terminal's
// character set. Machine output (JSON, the transcript, exit codes) never passes through here.
#pragma once

#include <libintl.h>

#include <initializer_list>
#include <string>

#include "ui/resource_data.h"

// A sentence of quillet's own, translated; N_ marks one that is translated where it is used.
#define _(text) ::quillet::Translate(text)
#define N_(text) text

namespace quillet {

// `text` in the user's language, or as it is inside an UntranslatedScope.
const char* Translate(const char* text);
// The form for `count` of a text with a singular and a plural.
const char* TranslatePlural(const char* one, const char* many, unsigned long count);
// errno's text in the user's language (English inside an UntranslatedScope).
std::string ErrorText(int error);

// While one exists, texts stay English: for what machines read, such as the transcript.
class UntranslatedScope {
public:
    UntranslatedScope();
    ~UntranslatedScope();
    UntranslatedScope(const UntranslatedScope&) = delete;
    UntranslatedScope& operator=(const UntranslatedScope&) = delete;
};

// Reads LANGUAGE, LC_ALL, LC_MESSAGES and LANG as gettext does and opens the catalogues beside
// the program (../share/locale from its folder), else in the installation's locale folder.
void SetUpLanguage();

// The resources' language matching the catalogue gettext chose: English when it chose none.
LanguageId ResourceLanguage();

// `text` (UTF-8, as the resources hold it) in the terminal's character set; characters it lacks
// become "?".
std::string InTerminalCharset(const std::string& text);

// `text` with {1}, {2}, ... replaced by `values`, in the order the translation puts them.
std::string Fill(const std::string& text, std::initializer_list<std::string> values);

// The question's suffix, "[y/N]" in the user's language.
std::string YesNoSuffix();
// Whether `answer` means yes in the user's language; an answer starting with y always does.
bool MeansYes(const std::string& answer);

}  // namespace quillet

// One table of tricky profile files, run against the platform's reader: the portable reader in the
// native build, the Windows reader in the Windows build. Each row reads its own file, so no
// reader can answer from a cache filled by another row.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/profile_reader.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

// A file saved as UTF-16 with its byte-order mark: Notepad's "Unicode" (little-endian) or
// "Unicode big endian".
std::string Utf16(const std::u16string& text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

struct ProfileCase {
    const char* name;
    std::optional<std::string> file;  // nullopt: no file at all
    const char* section;
    const char* key;
    const char* defaultText;
    uint32_t size;
    std::string expected;
};

const std::vector<ProfileCase>& Cases() {
    static const std::vector<ProfileCase> cases = {
        // Names
        {"plain", "[MAIN]\nDEVICE_NUM=2\n", "MAIN", "DEVICE_NUM", "NOT_FOUND", 128, "2"},
        {"names_ignore_case", "[Device0]\nproduct0=MTX\n", "DEVICE0", "PRODUCT0", "", 128, "MTX"},
        {"query_names_trimmed", "[S]\nK=1\n", " s\t", "\tk ", "", 128, "1"},
        {"section_name_trimmed", "[\t MAIN ]\nA=1\n", "MAIN", "A", "", 128, "1"},
        {"inner_space_kept", "[MA IN]\nA B=1\n", "MA IN", "A B", "", 128, "1"},
        {"text_after_bracket_ignored", "[MAIN] x\nA=1\n", "MAIN", "A", "", 128, "1"},
        {"last_bracket_closes", "[MAIN]]\nA=1\n", "MAIN]", "A", "", 128, "1"},
        {"open_bracket_only_is_a_key", "[S\nK=1\n", "S", "K", "dflt", 128, "dflt"},
        {"keys_before_any_section", "K=1\n[S]\nK=2\n", "S", "K", "", 128, "2"},
        {"other_section_not_read", "[A]\nK=1\n[B]\nX=2\n", "B", "K", "dflt", 128, "dflt"},
        // Duplicates: the first section and the first key count
        {"first_key_wins", "[S]\nK=1\nk=2\n", "S", "K", "", 128, "1"},
        {"first_section_wins", "[MAIN]\nA=1\n[main]\nA=2\nB=3\n", "MAIN", "A", "", 128, "1"},
        {"second_section_never_read", "[MAIN]\nA=1\n[MAIN]\nB=3\n", "MAIN", "B", "dflt", 128,
         "dflt"},
        {"key_without_equals_hides_later", "[S]\nK\nK=1\n", "S", "K", "dflt", 128, "dflt"},
        // White space
        {"space_around_key_and_value", "[S]\n   K  =   v a l  \n", "S", "K", "", 128, "v a l"},
        {"tabs_and_controls", "\v[S]\f\n\x1aK\t=\t\x0b v\x1a\r\n", "S", "K", "", 128, "v"},
        {"crlf_lines", "[S]\r\nK=v\r\n", "S", "K", "", 128, "v"},
        {"lone_cr_ends_line", "[S]\rK=v\r", "S", "K", "", 128, "v"},
        {"blank_value_is_empty", "[S]\nK=   \n", "S", "K", "dflt", 128, ""},
        {"empty_value_is_not_default", "[S]\nPRODUCT_ID=\n", "S", "PRODUCT_ID", "NOT_FOUND", 128,
         ""},
        {"nbsp_is_not_space", "[S]\nK=\xA0v\xA0\n", "S", "K", "", 128, "\xA0v\xA0"},
        {"separators_are_not_space", "[S]\nK=\x1cv\x1f\n", "S", "K", "", 128, "\x1cv\x1f"},
        {"utf8_mark_skipped", "\xEF\xBB\xBF[S]\nK=v\n", "S", "K", "", 128, "v"},
        // Byte-order marks: the text comes back in the single-byte code page, Windows-1252 (the
        // Windows tests run in it), a character it lacks as "?". Without a mark the bytes are
        // the text.
        {"utf16_catalogue", Utf16(u"[Device0]\r\n  product0 = MTX5160E  \r\n"), "DEVICE0",
         "PRODUCT0", "", 128, "MTX5160E"},
        {"utf16_surrogates_each_a_mark", Utf16(u"[S]\nK=\U0001F600|\xD800\n"), "S", "K", "", 128,
         "??|?"},
        {"utf16_bytes_80_to_9f",
         Utf16(u"[S]\nK=\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160"
               u"\u2039\u0152\u008d\u017d\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013"
               u"\u2014\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178\n"),
         "S", "K", "", 128,
         "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F\x90\x91\x92\x93"
         "\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F"},
        {"utf16_outside_code_page", Utf16(u"[S]\nK=\u0080\u009f\u0391\u4e2d\u00a0x\u00a0\u00ff\n"),
         "S", "K", "", 128, "????\xA0x\xA0\xFF"},
        {"utf16_latin_names", Utf16(u"[S\u00e9]\nK\u00e9=1\n"), "S\xE9", "K\xE9", "", 128, "1"},
        {"utf16_inner_mark_is_text", Utf16(u"[S]\nK=\ufeffv\n"), "S", "K", "", 128, "?v"},
        {"utf16_without_mark_is_bytes", Utf16(u"[S]\r\nK=v\r\n").substr(2), "S", "K", "dflt", 128,
         "dflt"},
        {"utf16_big_endian", Utf16(u"[S]\r\nK=a\u00e9\u20ac\u4e2db\r\n", true), "S", "K", "", 128,
         "a\xE9\x80?b"},
        {"utf8_mark_text_converted",
         "\xEF\xBB\xBF[S]\nK=caf\xC3\xA9 5\xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80\n", "S", "K",
         "", 128, "caf\xE9 5\x80 ? ??"},
        // Malformed UTF-8: one "?" for a lead byte and the continuation bytes it took, the first
        // of them even when it shows the sequence overlong, a surrogate or too large.
        {"utf8_malformed",
         "\xEF\xBB\xBF[S]\nK=\xE2\x82|\xC3|\xC0\xAF|\xE0\x80\x80|\xED\xA0\x80|\xF0\x8F\xBF\xBF|"
         "\xF4\x90\x80\x80|\xF0\x9F\x98|\x80\n",
         "S", "K", "", 128, "?|?|??|??|??|???|???|?|?"},
        {"utf8_cut_short_takes_the_rest", "\xEF\xBB\xBF[S]\nK=a\xE2x", "S", "K", "", 128, "a?"},
        {"utf8_without_mark_is_bytes", "[S]\nK=caf\xC3\xA9\n", "S", "K", "", 128, "caf\xC3\xA9"},
        // Comments and other lines
        {"comment_line", "[S]\n;K=1\nK=2\n", "S", "K", "", 128, "2"},
        {"comment_is_a_key", "[S]\n;K=1\nK=2\n", "S", ";K", "", 128, "1"},
        {"no_inline_comment", "[S]\nK=2 ; two\n", "S", "K", "", 128, "2 ; two"},
        {"equals_in_value", "[S]\nK=a=b\n", "S", "K", "", 128, "a=b"},
        {"value_ends_at_zero_byte", std::string("[S]\nK=v\0w\n", 10), "S", "K", "", 128, "v"},
        // Quotes
        {"double_quotes", "[S]\nK=\" a b \"\n", "S", "K", "", 128, " a b "},
        {"single_quotes", "[S]\nK='a'\n", "S", "K", "", 128, "a"},
        {"empty_quotes", "[S]\nK=\"\"\n", "S", "K", "dflt", 128, ""},
        {"lone_quote", "[S]\nK=\"\n", "S", "K", "", 128, "\""},
        {"unclosed_quote", "[S]\nK=\"a\n", "S", "K", "", 128, "\"a"},
        {"mismatched_quotes", "[S]\nK=\"a'\n", "S", "K", "", 128, "\"a'"},
        {"inner_quotes_kept", "[S]\nK=a\"b\"\n", "S", "K", "", 128, "a\"b\""},
        {"outer_pair_only", "[S]\nK=\"a\"b\"\n", "S", "K", "", 128, "a\"b"},
        {"quoted_buffer_fits", "[S]\nK=\"abcd\"\n", "S", "K", "", 6, "abcd"},
        {"quoted_buffer_one_short", "[S]\nK=\"abcd\"\n", "S", "K", "", 5, "abc"},
        {"quoted_buffer_short", "[S]\nK=\"abcd\"\n", "S", "K", "", 3, "ab"},
        // Missing file, section or key; the default text
        {"missing_file", std::nullopt, "MAIN", "DEVICE_NUM", "NOT_FOUND", 128, "NOT_FOUND"},
        {"missing_section", "[X]\nDEVICE_NUM=1\n", "MAIN", "DEVICE_NUM", "", 256, ""},
        {"missing_key", "[MAIN]\nX=1\n", "MAIN", "DEVICE_NUM", "NOT_FOUND", 128, "NOT_FOUND"},
        {"default_loses_trailing_blanks", "[S]\n", "S", "K", "dd  ", 128, "dd"},
        {"default_keeps_first_char", "[S]\n", "S", "K", "   ", 128, " "},
        {"default_quotes_removed", "[S]\n", "S", "K", "\"q\"", 128, "q"},
        {"missing_file_default_quotes", std::nullopt, "S", "K", "\"q\"  ", 128, "q"},
        {"default_truncated", "[S]\n", "S", "K", "NOT_FOUND", 4, "NOT"},
        // Truncation to size - 1
        {"cut_to_size_minus_one", "[S]\nK=0123456789\n", "S", "K", "", 5, "0123"},
        {"size_one_gives_empty", "[S]\nK=v\n", "S", "K", "", 1, ""},
        {"exact_fit", "[S]\nK=0123\n", "S", "K", "", 5, "0123"},
        {"long_value_cut_to_127", "[S]\nK=" + std::string(300, 'x') + "\n", "S", "K", "", 128,
         std::string(127, 'x')},
        {"long_value_cut_to_255", "[S]\nK=" + std::string(300, 'y') + "\n", "S", "K", "", 256,
         std::string(255, 'y')},
    };
    return cases;
}

TEST(ProfileReader, TrickyFilesReadAsOnWindows) {
    test::TempDir dir;
    SystemProfileReader reader;
    int fileNumber = 0;
    for (const ProfileCase& row : Cases()) {
        SCOPED_TRACE(row.name);
        // A name without folder: the reader must look in the current directory.
        std::string fileName = "case" + std::to_string(fileNumber++) + ".ini";
        if (row.file)
            dir.WriteFile(fileName, *row.file);

        std::vector<char> buffer(row.size + 8, '#');
        uint32_t length = reader.ReadString(row.section, row.key, row.defaultText, buffer.data(),
                                            row.size, fileName);
        EXPECT_EQ(std::string(buffer.data()), row.expected);
        EXPECT_EQ(length, row.expected.size());
        // Nothing is written past the buffer.
        for (std::size_t i = row.size; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '#') << i;
    }
}

}  // namespace
}  // namespace quillet

// The value rules the configuration readers share: product-code decoding, count parsing, the
// FILENAME split, the product match rule and the joining of folder and file names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// Every list of the catalogue is bounded by a fixed table of this many entries.
constexpr std::size_t kTableSize = 256;
using TextTable = std::array<std::string, kTableSize>;

// The key the product code is encoded against, one character per hexadecimal digit.
constexpr char kProductIdKey[] = "@KESTRUM";

// Decodes a PRODUCT_ID text: up to eight characters, each one to sixteen above the key character
// at its position (one above stands for 15, sixteen above for 0), most significant digit first.
// The text ends at its end or at the first white space; an empty text decodes to 0. Returns false
// for a character out of range or a ninth digit, and leaves `code` 0.
bool DecodeProductId(const std::string& text, uint32_t& code);

// True when every character of `text` is a decimal digit; an empty text passes.
bool IsDecimalText(const std::string& text);

// A count read loosely: leading white space skipped, an optional sign, then the digits up to the
// first other character; no digits gives 0, and so does a value that does not fit in an int32_t.
int32_t ParseLooseCount(const std::string& text);

// The value of a text of decimal digits (checked by IsDecimalText); false when it does not fit in
// an int32_t, which makes the count malformed.
bool DecimalValue(const std::string& text, int32_t& value);

// A walk over one list of the catalogue (devices, products, file entries) reads key numbers below
// this only. The lists number their entries from 0, so a list that reaches it needs a line per
// entry: a file of a megabyte or more. A count typed with too many digits costs at most this many
// reads instead of hanging the program.
constexpr int32_t kMaxListKeys = 65536;

// Splits a FILENAME value into its first two white-space separated words, each cut to
// kWordLimit characters; missing words are empty and anything after the second is ignored.
constexpr std::size_t kWordLimit = 31;
void SplitFileEntry(const std::string& value, std::string& version, std::string& fileName);

// The product match rule: `name` matches `product` when `product` starts with it, letters A to Z
// equal to a to z; an empty name matches everything.
bool ProductMatches(const std::string& name, const std::string& product);

// `text` without its trailing white space.
std::string TrimTrailingSpace(const std::string& text);

// The full path of a file of `directory`: the directory, a backslash unless it already ends in
// one, and the name. An empty directory gives the name alone.
std::string JoinToDirectory(const std::string& directory, const std::string& name);

// The drive and folder part of a full path: everything up to and including its last backslash or
// slash (empty when there is none), as the path splitter gives drive and directory.
std::string FolderOfPath(const std::string& path);

}  // namespace quillet

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/code_pages.h"

namespace tcp {

// Cuts text at every CR; a LF right after a CR belongs to that break, any
// other LF is an ordinary byte. Nothing after the last break gives no entry,
// and an empty text none at all.
std::vector<std::string> SplitLines(std::string_view text);

// Whether the whole text matches the whole mask, without regard to case (the
// platform's lower-casing of ANSI text): "*" stands for any run of bytes, "?"
// for one byte. Both are compared as zero-terminated texts, and an empty text
// or mask never matches.
bool MaskMatch(std::string_view text, std::string_view mask, CodePages& codePages);

// The bytes of text before its first zero byte: what a zero-terminated reader
// of text would see.
std::string_view UntilZero(std::string_view text);

// The same on texts already lower-cased and cut at their first zero byte.
bool WildcardMatch(std::string_view text, std::string_view mask);

}  // namespace tcp

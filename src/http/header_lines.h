#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/code_pages.h"

namespace tcp {

// The most lines a header block is split into. Real servers send a few dozen
// (common servers refuse more than about a hundred); the cap keeps a block of
// bare CRs from costing many times its own size in bookkeeping.
inline constexpr std::size_t kMostHeaderLines = 10000;

// Cuts text at every CR; a LF right after a CR belongs to that break, any
// other LF is an ordinary byte. Nothing after the last break gives no entry,
// and an empty text none at all. Only the first kMostHeaderLines lines are
// taken.
std::vector<std::string> SplitLines(std::string_view text);

// Whether the whole text matches the whole mask, without regard to case (the
// platform's lower-casing of ANSI text): "*" stands for any run of bytes, "?"
// for one byte. Both are compared as zero-terminated texts, and an empty text
// or mask never matches.
bool MaskMatch(std::string_view text, std::string_view mask, CodePages& codePages);

// The same on texts already lower-cased and cut at their first zero byte.
bool WildcardMatch(std::string_view text, std::string_view mask);

// The lines that begin with name, in any letter case, run together: each
// non-empty line matched against the mask name + "*". A name holding a zero
// byte ends there and loses the "*", so it then takes only equal lines.
std::string HeaderLinesNamed(const std::vector<std::string>& lines, std::string_view name, CodePages& codePages);

}  // namespace tcp

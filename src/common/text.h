#pragma once
// Text helpers: case mapping, removal of blanks and control characters,
// half-width to full-width conversion, and UTF-8 <-> UTF-16 conversion.
//
// All functions are pure, safe with empty text and independent of the
// process locale.
#include <string>
#include <string_view>

namespace zumen {

// Upper case by a fixed table: ASCII, full-width Latin (U+FF41-FF5A), Latin-1,
// Latin Extended-A, Greek, Cyrillic, small Roman numerals and circled letters.
// Every character maps to exactly one character, so the length never changes
// (the German sharp s stays as it is).
std::u16string UpperStr(std::u16string_view s);

// Lower case by the same table, in the other direction.
std::u16string LowerStr(std::u16string_view s);

// s without every U+0020 space, U+3000 ideographic space and character below
// U+0020.
std::u16string DelBlank(std::u16string_view s);

// s without every character below U+0020; spaces stay.
std::u16string DelCtrl(std::u16string_view s);

// Half-width ASCII and half-width katakana to their full-width forms; a
// half-width kana followed by a (semi-)voiced mark becomes one voiced
// full-width kana. Other characters pass unchanged.
std::u16string HanToZen(std::u16string_view s);

// UTF-8 to UTF-16. Malformed bytes become U+FFFD, one per bad byte.
std::u16string Utf8ToUtf16(std::string_view s);

// True when s is well-formed UTF-8 (empty text is).
bool IsValidUtf8(std::string_view s);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);

}  // namespace zumen

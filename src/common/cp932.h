#pragma once
// Conversion between UTF-16 text and the 8-bit code page of the drawing
// files, code page 932 (Shift_JIS with the Windows extensions), and the
// byte-width measures built on it.
//
// Safe to call from several threads at once: each thread keeps its own
// converters. ASCII-only text takes a fast path without the converter.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zumen {

// The bytes of s in code page 932; characters the code page lacks (and
// unpaired surrogates) become "?".
std::string StrToAnsi(std::u16string_view s);

// Decodes code page 932 bytes and cuts the text at its first U+0000. Bytes
// that do not form a valid character become U+FFFD each, and decoding goes on
// after them.
std::u16string AnsiToStr(std::span<const uint8_t> b);
std::u16string AnsiToStr(std::string_view b);

// As AnsiToStr but without cutting at U+0000: every byte is decoded.
std::u16string AnsiDecode(std::span<const uint8_t> b);
std::u16string AnsiDecode(std::string_view b);

// Number of bytes of StrToAnsi(s) before its first zero byte.
int AnsiLen(std::u16string_view s);

// True when StrToAnsi(s) is exactly two bytes long (for one character: a
// double-byte, full-width character).
bool IsZenkaku(std::u16string_view s);

// True for the bytes that start a double-byte character: 0x80-0x9F and
// 0xE0-0xFD.
constexpr bool IsAnsiLeadByte(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }

// Length of s laid out with full-width character width w and spacing sp: a
// double-byte character counts w, a single-byte one w / 2; between
// characters sp after a double-byte one and sp / 2 after a single-byte one.
double AnsiTextWidth(std::u16string_view s, double w, double sp);

}  // namespace zumen

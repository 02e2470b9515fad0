#pragma once
// Text-to-number parsing that never fails, and number formatting.
//
// The conversions are independent of the machine's locale: the decimal
// separator is always "." and the thousands separator always ",".
#include <cstdint>
#include <string>
#include <string_view>

namespace zumen {

// Whole number: leading blanks (U+0020), an optional sign, then decimal
// digits or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow. Empty text, bad text and decimal values outside 32 bits give 0.
// Hexadecimal values up to FFFFFFFF are taken as a 32-bit pattern ("$FFFFFFFF"
// is -1), as the drawing files write them.
int32_t ValInt(std::u16string_view s);

// Real number: leading blanks, an optional sign, digits with "." as the
// decimal separator, an optional exponent ("e"/"E", optional sign). Anything
// else, and values that are not finite, give 0.
double ValFloat(std::u16string_view s);

// True for the words T, TR, TRU, TRUE, 1, full-width 1, white circle, ON and
// the kanji for "true" and "correct", compared after UpperStr; else false.
bool ValBool(std::u16string_view s);

// Decimal text of n, "-" for negatives.
std::u16string IntStr(int64_t n);

// Fixed notation with n decimals (n clamped to 0..20), no grouping. The
// shortest decimal form of x is rounded half away from zero (2.5 gives "3",
// 1.005 with two decimals "1.01"). A value that rounds to zero is written
// without a minus sign; NaN and the infinities are written "NAN", "INF" and
// "-INF".
std::u16string FloatStrF(int n, double x);

// As FloatStrF with a "," between every three integer digits.
std::u16string FloatStrN(int n, double x);

// Shortest general notation with up to 15 significant digits and "." as the
// decimal separator; an exponent is written "E" with a sign only when
// negative ("1E20", "1E-5"). Zero has no minus sign; NaN and the infinities
// are "NAN", "INF" and "-INF".
std::u16string FloatStrG(double x);

}  // namespace zumen

#pragma once
// Text macros: a text entity whose whole content is a macro code is drawn with
// a value in its place — the drawing's path or name, the file's or the current
// date and time (Western or Japanese era form), the drawing scale, or a
// reference text from the reference-text file.
//
// Codes match the whole text exactly (case-sensitive). Date and time codes
// start with a prefix that chooses the date source and the padding of one-digit
// numbers: "$" current time, no padding; "&" current time, leading space;
// "%" current time, leading zero; "_" file time, leading space; "=" file time,
// leading zero. The current time comes from the context's clock; weekday names
// are the Japanese ones and the decimal separator is ".", whatever the
// machine's locale.
#include <string>

#include "context/context.h"

namespace zumen {

// Which renderer's rules apply. The K4 renderer has no era codes, keeps the
// "T" codes and "%m2" as written, shows the drawing title for "%mm" and "%m1",
// and draws "%%" texts as written without looking them up.
enum class MacroRules { Jw, K4 };

// When s is a macro, stores its value in out and answers true; the value is
// drawn as it is, without control sequences. A text beginning with "%%" is
// always a macro: its reference value, or the text itself when no reference
// key equals it. Any other text answers false and leaves out unchanged.
// lgScale is the scale of the layer group the text lies on (the scale codes).
bool ExpandTextMacro(const ConversionContext& ctx, double lgScale, const std::u16string& s, std::u16string& out,
                     MacroRules rules = MacroRules::Jw);

}  // namespace zumen

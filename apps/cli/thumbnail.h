#pragma once
// `zumen thumbnail IN OUT SIZE`: a small PNG picture of a drawing for file
// managers, as a freedesktop thumbnailer runs it.
#include <iosfwd>
#include <string>

#include "zumen/zumen.h"

namespace zumen_cli {

// Largest SIZE taken: the biggest thumbnails desktops ask for are 1024.
inline constexpr int kMaxThumbnailSize = 4096;

// "takes ... not ..." for a bad SIZE, else empty.
std::string CheckThumbnailSize(const std::string& text);

// The options of a drawing's thumbnail at most size pixels on its long side:
// the drawing's extents fill the picture (the paper when it has none) on
// white, without the paper's frame.
zumen::RenderOptions ThumbnailOptions(const zumen::Drawing& d, int size);

// Writes the thumbnail of the drawing source into destination as PNG
// (whatever its extension), or to standard output for "-" (never to a
// terminal); the file is replaced only by a complete picture. Returns 0 when
// written (a drawing read only in part gives the picture of what was read),
// 2 for a terminal, else 1 with the reason on err.
int RunThumbnail(const std::string& source, const std::string& destination, int size, bool stdoutTerminal,
                 std::ostream& err);

}  // namespace zumen_cli

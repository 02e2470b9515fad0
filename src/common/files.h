#pragma once
// Paths and thin file-system wrappers that report failure as false.
//
// Paths handed to the file system are std::string holding the bytes the
// system gave (UTF-8 as a rule, but folders unpacked from Windows archives
// often have names in code page 932 or Latin-1 bytes); PathToText decodes
// them for display. Utf8ToUtf16 / Utf16ToUtf8 (common/text.h) convert
// drawing texts. The UTF-16 overloads convert and call the UTF-8 ones.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"

namespace zumen {

// Splits a path at "\" and "/" into parts[0..hi] (parts is resized to hi + 1
// and those entries emptied) and answers the index of the last component
// written. A doubled separator counts as one step ("\\server" gives an empty
// first component). When there are more components than hi + 1, parts[hi]
// holds only the last one. A negative hi counts as 0.
int SplitPath(std::u16string_view s, std::vector<std::u16string>& parts, int hi);

// The platform's path separator.
constexpr char16_t PathDelim() { return u'/'; }

// The extension of the file-name part of s (after the last "/" or "\"), from
// its last "." on, dot included, lower-cased with LowerStr; empty when there
// is none. A name holding U+0000, which no file name may contain, also gives
// empty text (rather than an error) so that callers treat it as "no
// extension".
std::u16string FileExtLower(std::u16string_view s);
std::string FileExtLower(std::string_view utf8);

// s with the extension of its file-name part replaced by ext ("." is put in
// front of ext when missing; an empty ext removes the extension and its dot).
// Empty text when s is empty or holds U+0000.
std::u16string ChangeExt(std::u16string_view s, std::u16string_view ext);
std::string ChangeExt(std::string_view utf8, std::string_view ext);

// True when path names an existing file that is not a folder (links followed).
bool FileExist(const std::string& path);
bool FileExist(std::u16string_view path);

// True when path names an existing folder (links followed).
bool DirExist(const std::string& path);
bool DirExist(std::u16string_view path);

// Creates the folder with all missing parents (the path made absolute first);
// true when the folder exists afterwards.
bool MakeDir(const std::string& path);
bool MakeDir(std::u16string_view path);

// Deletes a file (never a folder); false on any error.
bool DelFile(const std::string& path);
bool DelFile(std::u16string_view path);

// Makes the folder writable by its owner and removes it when it is empty
// (never recursively); false on any error.
bool DelDir(const std::string& path);
bool DelDir(std::u16string_view path);

// Reads a whole file. Refuses (false, with a message) a file larger than
// max_bytes, a folder, or a file that cannot be opened or read.
bool ReadFileBytes(const std::string& path, size_t max_bytes, std::vector<uint8_t>& out,
                   std::string* message = nullptr);

// Reads an 8-bit text file as lines of bytes without their line ends. CR LF,
// LF and a lone CR each end a line; a last line without a line end counts;
// there is no line after a final line end. Same size limit as ReadFileBytes.
bool ReadTextLines(const std::string& path, size_t max_bytes, std::vector<std::string>& lines,
                   std::string* message = nullptr);

// Calls fn with each line of an 8-bit text file, by the line rules of
// ReadTextLines, until fn answers false or the file ends. The file is read in
// blocks, only as far as needed, and never past max_bytes; a line that the
// bound cuts off is not passed. False (with a message) when the file cannot
// be opened or read, is a folder, or was cut off by the bound before fn
// stopped; fn has then had the lines before that point.
bool ReadLinesWhile(const std::string& path, size_t max_bytes, const std::function<bool(std::string_view)>& fn,
                    std::string* message = nullptr);

// Splits bytes into lines by the rules of ReadTextLines.
std::vector<std::string> SplitLines(std::string_view text);

// Writes data as the whole content of the file (created or replaced).
bool WriteFileBytes(const std::string& path, std::span<const uint8_t> data);

// Writes all of data to the open file fd and closes it; false when a write
// or the closing failed (fd is closed either way).
bool WriteAllAndClose(int fd, std::span<const uint8_t> data);

// The path made absolute against the working folder, as the bytes stand,
// without resolving symbolic links: "." components and doubled separators
// are dropped, and "name/.." is folded away unless name is a link (where the
// system's own walk would go elsewhere). Empty text stays empty.
std::string AbsolutePath(const std::string& path);

// A path's bytes as text for display: each component decoded as UTF-8 when
// it is valid UTF-8, else as code page 932.
std::u16string PathToText(std::string_view path);

// Last-modification time of the file in local time, truncated to even
// seconds and zero milliseconds (the resolution of a packed date-time stamp).
bool FileTimeLocal(const std::string& path, DateTime& out);

// A file a drawing places (an image): as named, else the same name in the
// folder of the drawing (whose path is in the system's bytes), else its last
// path component there (drawings written on Windows name paths such as
// "C:\data\photo.jpg" that do not exist here); empty when none exists.
std::string FindPlacedFile(const std::u16string& name, const std::string& drawing);

}  // namespace zumen

// File-name parts, one-line text files, name=value files and small text
// edits. Paths may use "/" or "\" (sources written on either system);
// paths built here use the platform separator (pathSep in fileio.h).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "util/binio.h"

namespace molv {

class AssocArray;

// A path's parts: drive, up to and including the first ":", or
// "\\server\share" for a UNC name; folder, the rest up to and including the
// last separator; name, the last component without its extension; ext, the
// text after the last "." of the last component (no dot). A path that
// starts with a double quote is taken up to the next double quote.
enum PathMask : int { kDrive = 1, kFolder = 2, kName = 4, kExt = 8 };
// Joins the chosen parts in the order drive, folder, name, ext; a "." goes
// before a non-empty extension when something precedes it or the name is
// chosen ("chair" gives "chair", ".cfg" gives ".cfg" for name + ext).
std::string pathPart(std::string_view path, int mask);
inline std::string folderOf(std::string_view path) { return pathPart(path, kDrive | kFolder); }
inline std::string extOf(std::string_view path) { return pathPart(path, kExt); }
inline std::string pathNoExt(std::string_view path) { return pathPart(path, kDrive | kFolder | kName); }
inline std::string baseName(std::string_view path) { return pathPart(path, kName); }
inline std::string fileNameOf(std::string_view path) { return pathPart(path, kName | kExt); }
// Whether the path names a folder at all ("/" or "\" anywhere).
inline bool hasSeparator(std::string_view path) { return path.find_first_of("/\\") != std::string_view::npos; }
// Whether the path names its file without the current folder: "/..." on
// Linux; on Windows any leading separator, and a drive letter ("C:...").
bool isAbsolutePath(std::string_view path);
// Whether a name taken from a file's content stays inside the folder it is
// joined to: not empty, no leading separator, no drive ("c:"), no ".."
// part; "/" and "\" both count as separators.
bool staysInside(std::string_view name);
// A URI path's %XX escapes decoded ("my%20wood.png"); a "%" without two
// hex digits after it stays as it is.
std::string percentDecoded(std::string_view s);
// The last component of a name, after its last "/" or "\".
std::string_view lastComponent(std::string_view name);
// folder + name with the platform separator between them unless folder is
// empty or already ends with a separator.
std::string joinPath(std::string_view folder, std::string_view name);

// Where a file that a model names (a material library, a texture map) is
// looked for: inside the model's folder, never elsewhere. A relative name
// that stays inside keeps its sub-folders; an absolute name, or one that
// climbs out with "..", is taken by its file name alone. Both separators
// count. "" when the name holds no file name.
std::string companionPath(std::string_view folder, std::string_view name);
// The last component of such a name, whichever separator (or drive) it uses.
std::string_view companionFileName(std::string_view name);

// Writes one line (CR LF unless noNewline) to path, appending or replacing
// the file. A replaced file is written whole or not at all. False on any
// error (err, when given, says why).
bool writeLineTo(const std::string& path, std::string_view line, bool noNewline, bool append,
                 std::string* err = nullptr);
inline bool appendLine(const std::string& path, std::string_view line, bool noNewline = false,
                       std::string* err = nullptr) {
    return writeLineTo(path, line, noNewline, true, err);
}
inline bool writeLine(const std::string& path, std::string_view line, bool noNewline = false,
                      std::string* err = nullptr) {
    return writeLineTo(path, line, noNewline, false, err);
}

// Reads NAME=value lines into pairs (see AssocArray::load); escape passes
// values through xmlEscape. False when the file cannot be read.
bool readNameValueFile(const std::string& path, AssocArray& pairs, std::string* err = nullptr, bool escape = false);

// Replaces every occurrence left to right, continuing after each inserted
// replacement. Returns the number of replacements (0 for an empty find).
int replaceAll(std::string& text, std::string_view find, std::string_view replacement);

// Fixed string field of width w: at most w-1 characters, blank padded, NUL.
inline void putFixedString(ByteWriter& w, std::string_view text, int width) { w.fixedString(text, width); }

}  // namespace molv

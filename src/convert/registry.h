// Every file type the program knows, in one table: the read and write
// dispatch, the accepted types, the file-open filter and the help text all
// come from here. A new format is one entry plus its reader or writer.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "core/read_result.h"

namespace molv {

struct ReadEnv;
struct WriteEnv;

using ReadFn = ReadResult (*)(ReadEnv&, const std::string& path);
using WriteFn = bool (*)(WriteEnv&, const std::string& path);

struct FormatEntry {
    const char* ext;          // lower case, without the dot
    const char* description;  // "3D Studio": the filter shows "3D Studio .3ds"
    ReadFn read;              // nullptr: not read
    WriteFn write;            // nullptr: not written
    bool devOnly;             // read only in developer mode
    bool geometry;            // reading fills the store: fix-ups and summary follow
    bool setSource;           // the Cal3D set may be written from a model read from it
    bool cal3dSet;            // writing it writes the whole Cal3D set (after the centring questions)
    // The output a source of this type converts to: an extension, "_1" for
    // a copy of its own type beside it (never over it), "" for none.
    const char* outputAs;
    bool fixups;  // the automatic fix-ups run after reading (without forceAuto)
};

std::span<const FormatEntry> formats();
// The entry of a lower-case extension; nullptr when none.
const FormatEntry* formatFor(const std::string& ext);

// "*.3ds;*.obj;*.dae": the types read outside developer mode.
std::string userTypes();
// Whether a read of ext is accepted: outside developer mode the user types,
// in it every registered type (the dispatch then says which have no reader).
bool readAccepted(const std::string& ext, bool devMode);
// The file-open dialog's filter: "Known files|<types>", then a description
// and pattern pair per type, then "All Files (*.*)|*.*".
std::string fileFilter(bool devMode);
// ".3ds, .obj, ...": the types read outside developer mode, for Help,
// About and --help.
std::string readableTypesText();
// One ".ext  Description" per type read outside developer mode.
std::vector<std::string> readableTypeLines();
// " .cmf .cfg ...": every type that can be written, each after a blank.
std::string writableTypes();
// One help line per output type that can be written.
std::string outputTypesHelp();

}  // namespace molv

// The conversion driver: names the output, dispatches reads and writes by
// extension and runs the automatic fix-ups in between.
#pragma once
#include <string>

namespace molv {

struct Context;

std::string outputNameFor(Context& ctx, const std::string& source);
void LoadFile(Context& ctx);
void readDispatch(Context& ctx);
void runAutos(Context& ctx, bool fromWrite);
void writeDispatch(Context& ctx);

// One whole conversion as the command line runs it: read srcFile, then,
// unless the reader gave up, write (to outFile when not empty, else the
// derived name). True only when both succeeded.
bool convertFile(Context& ctx, const std::string& srcFile, const std::string& outFile);

}  // namespace molv

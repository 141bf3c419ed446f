// The automatic fix-ups between reading and writing, and the resize that
// the user may ask for with a span.
#pragma once
#include <string>

namespace molv {

struct Context;

// Resize, then zero base height or centre, as the settings say. Cal3D
// sources are left as they are unless forceAuto is set. True when the
// extents were measured after the last move (nothing to measure again).
bool runAutos(Context& ctx, bool fromWrite);

// Scales the model about its centre so that its largest span becomes the
// number in spanText; "nnn:r", ":u" or ":b" scale only x, y or z so that
// that direction's span becomes nnn. An empty spanText asks the user.
// Outside the fix-ups (inFixups false) the automatic fix-ups run afterwards,
// without the resize among them; inside them the caller has just measured
// the extents, so they are not measured again. Returns true when the model was scaled;
// spanOut, when given, receives the span part of the text used.
bool ResizeModel(Context& ctx, const std::string& spanText, bool fromWrite, bool inFixups,
                 std::string* spanOut = nullptr);

}  // namespace molv

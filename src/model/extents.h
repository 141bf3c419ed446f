// Measuring and normalising the model: bounding box, centring, base height
// and resizing to a span. All of them walk the vertex runs of the meshes and
// move both pos and zup_pos; vertices outside every run are left alone.
#pragma once
#include <cstdint>
#include <string>

namespace molv {

struct Context;

// Sets minPos/maxPos/ctrPos/spanPos, the zup_pos twins and maxSpan over all
// meshes, or over one mesh when mesh >= 0.
void SetMaxMinsM(Context& ctx, std::int32_t mesh = -1);

// Centres x and z (and y unless baseFlag); with baseFlag the lowest point
// goes to height `base`. Sets modelCentred.
void CentreModel(Context& ctx, bool baseFlag, float base);

// Scales the model about its centre so that its largest span becomes the
// number in spanText; "nnn:r", ":u" or ":b" scale only x, y or z so that
// that direction's span becomes nnn. An empty spanText asks the user.
// Outside the fix-ups (inFixups false) the automatic fix-ups run afterwards,
// without the resize among them. Returns true when the model was scaled;
// spanOut, when given, receives the span part of the text used.
bool ResizeModel(Context& ctx, const std::string& spanText, bool fromWrite, bool inFixups,
                 std::string* spanOut = nullptr);

// The four-line "avg / min / max / Span" report; lines end in CR LF when
// crlf, else CR alone, the last without a break.
std::string ExtentsText(const Context& ctx, bool crlf);

}  // namespace molv

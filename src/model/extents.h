// Measuring and normalising the model: bounding box, centring, base height
// and resizing to a span. All of them walk the vertex runs of the meshes and
// move both pos and zup_pos; vertices outside every run are left alone.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace molv {

class Diagnostics;
class ModelStore;

// Sets minPos/maxPos/ctrPos/spanPos, the zup_pos twins and maxSpan over all
// meshes, or over one mesh when mesh >= 0. Only the vertices that faces use
// are measured, unless faces use none of those in range.
void SetMaxMinsM(Diagnostics& diag, ModelStore& model, std::int32_t mesh = -1);

// The span resizing divides by, in double: maxSpan, or, when the model spans
// more than a float holds, the largest measured span (axis < 0) or the span
// along pos axis 0..2.
double measuredSpan(const ModelStore& model, int axis = -1);

// Centres x and z (and y unless baseFlag); with baseFlag the lowest point
// goes to height `base`. Sets modelCentred and the extents. measured: the
// extents are current (measured since the vertices last moved), so they are
// not measured again first.
void CentreModel(Diagnostics& diag, ModelStore& model, bool baseFlag, float base, bool measured = false);

// Scales the model about its centre (as last measured) by span / current
// in the directions marked in axes (x, y, z); a direction whose centre lies
// so far from the origin that a float could not resolve the scaled model
// there is centred on 0 as well (and logged). Returns the factor, or
// nothing (after a message quoting spanText) when the coordinates would
// overflow a float. current must not be 0. On success the extents are
// those of the scaled model.
std::optional<double> ScaleModel(Diagnostics& diag, ModelStore& model, double span, double current,
                                 const std::array<bool, 3>& axes, const std::string& spanText);

// The four-line "avg / min / max / Span" report; lines end in CR LF when
// crlf, else CR alone, the last without a break.
std::string ExtentsText(const ModelStore& model, bool crlf);

}  // namespace molv

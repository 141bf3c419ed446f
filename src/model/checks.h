// Consistency checks and text dumps of the model store, and the short
// vector texts the readers put into their log lines.
#pragma once
#include <cstdint>
#include <string>

#include "model/vec3.h"

namespace molv {

class Diagnostics;
class ModelStore;

// Developer-mode summary of the store (counts, extents, materials, face
// groups), ending with CheckModel. Writes nothing outside developer mode.
void DumpModel(Diagnostics& diag, ModelStore& model, bool devMode);

struct CheckResult {
    std::int64_t badFaces = 0;    // face-group members naming no face
    std::int64_t badCorners = 0;  // face corners naming no vertex
    std::int32_t withUVs = 0;     // over 0..ttlnum_Vertices, spare included
    std::int32_t unused = 0;
};

// Verifies face-group members and face corners, marks used vertices
// (mark 1, unused -999999) and logs the vertex usage line. Broken
// references are reported, never followed: the first of each kind with
// its face's context, the rest as one count.
CheckResult CheckModel(Diagnostics& diag, const ModelStore& model);

// What every writer relies on after any read, good or bad: counters within
// their arrays, face corners naming vertices, each face in exactly one face
// group, group members naming faces, the vertices of a textured group
// carrying UVs, materials that exist (a store without any gets the writer's
// default), mesh parents that exist. "" when all hold, else the first
// broken rule. For tests and fuzzers: it reports nothing to the user.
std::string storeFault(const ModelStore& model);

// The first number a writer would take that is not finite: a position
// (pos or zup_pos), a UV or an influence weight of a vertex some mesh owns,
// named by vertex, mesh and kind ("vertex 4 of mesh \"Box\": position
// (nan, 0, 0)"); "" when every one is finite. Readers take floats as the
// file gives them and transforms can overflow, so this one test after every
// read is the rule for all of them.
std::string nonFiniteText(const ModelStore& model);

// Logs and shows a broken reference with the face's context; changes nothing.
void ReportFaceError(Diagnostics& diag, const ModelStore& model, const std::string& message, std::int32_t mesh = 0, std::int32_t face = 0,
                     std::int32_t count = 0, std::int32_t group = 0);

// After a read: one log line for each kind of broken reference that the
// add operations counted beyond the one they showed.
void ReportBadFaceSummary(Diagnostics& diag, const ModelStore& model);

// " x:y:z: 1.00  2.50  -3.00"
std::string XYZText(float x, float y, float z);
inline std::string XYZText(const Vec3& v) { return XYZText(v.x, v.y, v.z); }
// " r:p:y: " and the three angles in degrees, each padded to width 6.
std::string RPYText(float r, float p, float y);
inline std::string RPYText(const Vec3& a) { return RPYText(a.x, a.y, a.z); }

}  // namespace molv

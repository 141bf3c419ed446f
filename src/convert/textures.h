// The texture maps a written set names, put beside it: the host looks for
// them in the set's folder under exactly the names its material files hold.
#pragma once
#include <string>
#include <vector>

namespace molv {

struct Context;
class ModelStore;

// Where a map named by the model is found in the source's folder: the exact
// name, else the same name in another case, else (Collada names maps
// "<model>_<file>") the name without the "<model>_" prefix. "" when none.
std::string findTextureFile(const std::string& srcFolder, const std::string& modelName, const std::string& map);

// The map names of the materials a Cal3D set writes, each once, in order.
std::vector<std::string> writtenMapNames(const ModelStore& m);

// After the set is written into outFile's folder: each map the materials
// name is copied there from the source's folder, or written from the bytes
// embedded in the source. A file already there with the same bytes stays;
// a source file is never replaced. A map found nowhere, or one that cannot
// be copied, is a warning. With the setting off, only the warnings.
void placeTextures(Context& ctx, const std::string& outFile);

}  // namespace molv

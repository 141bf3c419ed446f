// Shared test helpers.
#pragma once
#include <string>
#include <utility>
#include <initializer_list>
#include <string_view>
#include <algorithm>
#include <vector>

namespace molv::test {

// A fresh empty folder under the system's temporary folder, removed at exit;
// its name ends with the platform's separator.
std::string tempDir(const std::string& tag);
// Hex dump of the first difference between two byte strings ("" when equal).
std::string firstDifference(std::string_view want, std::string_view got);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
// Path of a file under tests/data.
std::string dataPath(const std::string& rel);
// Files below root (none when it is missing) whose lower-cased extension is
// one of exts (none given: any), as sorted relative names with '/'.
std::vector<std::string> filesUnder(const std::string& root, std::initializer_list<std::string_view> exts = {});
// Copies the bundled example (the model, its materials and textures) into
// a fresh folder; returns the folder.
std::string exampleCopy(const std::string& tag);
// A GoogleTest parameter name: every character but letters and digits
// becomes '_'.
std::string testName(std::string text);
// Expects the file at `path` to hold `got`; with MOLV_UPDATE_GOLDEN set it
// writes `got` there instead, to be reviewed before it is committed.
void expectGolden(const std::string& path, const std::string& got);
// The rows "INPUT => EXPECTED" of a file under tests/data, as pairs; lines
// starting with '#' and lines without the arrow are skipped. A missing or
// empty file fails the test.
std::vector<std::pair<std::string, std::string>> arrowRows(const std::string& rel);

}  // namespace molv::test

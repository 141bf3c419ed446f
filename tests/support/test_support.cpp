#include "support/test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "util/fileio.h"
#include "util/fspath.h"
#include "util/text.h"

namespace molv::test {

namespace {
struct Cleanup {
    std::vector<std::string> dirs;
    ~Cleanup() {
        std::error_code ec;
        for (auto& d : dirs) std::filesystem::remove_all(fsPath(d), ec);
    }
};
Cleanup& cleanup() {
    static Cleanup c;
    return c;
}
}  // namespace

std::string tempDir(const std::string& tag) {
    static int n = 0;
#ifdef _WIN32
    const int pid = ::_getpid();
#else
    const int pid = static_cast<int>(::getpid());
#endif
    auto base = std::filesystem::temp_directory_path() /
                fsPath("molvtest_" + std::to_string(pid) + "_" + tag + "_" + std::to_string(n++));
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    cleanup().dirs.push_back(utf8Path(base));
    return utf8Path(base) + pathSep();
}

std::string firstDifference(std::string_view want, std::string_view got) {
    std::size_t n = std::min(want.size(), got.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (want[i] != got[i]) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "first difference at byte %zu: want %02X, got %02X", i,
                          static_cast<unsigned char>(want[i]), static_cast<unsigned char>(got[i]));
            return buf;
        }
    }
    if (want.size() != got.size())
        return "sizes differ: want " + std::to_string(want.size()) + ", got " + std::to_string(got.size());
    return "";
}

std::string readFile(const std::string& path) {
    std::ifstream f(fsPath(path), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream f(fsPath(path), std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string dataPath(const std::string& rel) { return std::string(MOLV_TESTDATA) + "/" + rel; }

std::vector<std::string> filesUnder(const std::string& root, std::initializer_list<std::string_view> exts) {
    namespace fs = std::filesystem;
    std::vector<std::string> out;
    std::error_code ec;
    const fs::path r = fsPath(root);
    if (!fs::is_directory(r, ec)) return out;
    for (const auto& e : fs::recursive_directory_iterator(r, ec)) {
        const std::string ext = toLowerAscii(e.path().extension().string());
        if (e.is_regular_file() && (exts.size() == 0 || std::find(exts.begin(), exts.end(), ext) != exts.end()))
            out.push_back(fs::relative(e.path(), r).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string exampleCopy(const std::string& tag) {
    std::string dir = tempDir(tag);
    const std::filesystem::path examples = dataPath("../../examples");
    for (const char* f : {"stool.obj", "stool.mtl", "stool_leg.bmp", "stool_seat.bmp"})
        std::filesystem::copy_file(examples / f, dir + f);
    return dir;
}

std::string testName(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return text;
}

std::vector<std::pair<std::string, std::string>> arrowRows(const std::string& rel) {
    const std::string text = readFile(dataPath(rel));
    EXPECT_NE(text, "") << rel;
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream lines(text);
    for (std::string row; std::getline(lines, row);) {
        const auto arrow = row.find(" => ");
        if (!row.starts_with('#') && arrow != std::string::npos) out.emplace_back(row.substr(0, arrow), row.substr(arrow + 4));
    }
    return out;
}

void expectGolden(const std::string& path, const std::string& got) {
    if (std::getenv("MOLV_UPDATE_GOLDEN")) return writeFile(path, got);
    const std::string want = readFile(path);
    if (want.empty() && !got.empty()) {
        ADD_FAILURE() << "no file " << path << " (MOLV_UPDATE_GOLDEN=1 writes it)";
        return;
    }
    EXPECT_EQ(want, got) << path << " (MOLV_UPDATE_GOLDEN=1 rewrites it)";
}

}  // namespace molv::test

// Small hand-written models, each read as a user's file would be and
// compared with the listing kept beside it (<file>.expect): the read's
// outcome and where a failed read stopped, what the user was told, and the
// whole store. Models in cases/ are read through the file readers; those
// in cases/hostile/ are damaged, lying or foreign inputs, each handed as
// bytes to the reader its extension names (its sample.* files are also what
// reader_hostile_test.cpp cuts and damages), and so are the findings in
// hostile/ (its README says where each came from). A new case is two files;
// MOLV_UPDATE_GOLDEN=1 writes the listings, to be reviewed before they are
// committed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/harness.h"
#include "support/store_listing.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::Format;

// Each as "folder/name".
std::vector<std::string> cases(const std::string& folder, std::initializer_list<std::string_view> exts) {
    std::vector<std::string> out;
    for (const std::string& rel : test::filesUnder(test::dataPath(folder), exts))
        if (!rel.ends_with(".expect") && !rel.ends_with(".md") && !rel.starts_with("hostile/"))
            out.push_back(folder + "/" + rel);
    return out;
}

Format formatOf(const std::string& name) {
    const std::string ext = name.substr(name.rfind('.') + 1);
    for (int i = 0; i < static_cast<int>(Format::Gltf); ++i)
        if (ext == test::formatName(static_cast<Format>(i))) return static_cast<Format>(i);
    return Format::Gltf;
}

// The case is read by its bare name from inside its folder, so messages
// name it alike on every machine and the log list wraps them alike.
struct InFolder {
    std::filesystem::path was = std::filesystem::current_path();
    explicit InFolder(const std::string& dir) { std::filesystem::current_path(dir); }
    ~InFolder() { std::filesystem::current_path(was); }
};

struct ReaderCase : ::testing::TestWithParam<std::string> {};

TEST_P(ReaderCase, MatchesItsListing) {
    const std::size_t slash = GetParam().rfind('/');
    const std::string dir = test::dataPath(GetParam().substr(0, slash + 1));
    const std::string name = GetParam().substr(slash + 1);
    const bool asBytes = !GetParam().starts_with("cases/") || GetParam().starts_with("cases/hostile/");
    test::TestContext t;
    ReadResult r;
    {
        InFolder in(dir);
        r = asBytes ? test::readBytes(t.ctx, formatOf(name), test::readFile(name), name) : test::readFile(t.ctx, name);
    }
    std::string got = std::string("read: ") + (r.ok() ? "ok" : "failed") + "\n";
    if (!r.ok()) got += "where: " + r.where() + "\n";
    for (const auto& b : t.ui.boxes) got += "box: " + b.text + "\n";
    // A line the log list wrapped is one line here.
    std::string whole;
    for (const auto& piece : t.ui.everyLogLine) {
        whole += piece;
        if (piece.size() == LogList::kWrap) continue;
        got += "log: " + whole + "\n";
        whole.clear();
    }
    if (!whole.empty()) got += "log: " + whole + "\n";
    got += test::storeListing(t.m);
    EXPECT_EQ(storeFault(t.m), "");

    test::expectGolden(dir + name + ".expect", got);
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
    return test::testName(info.param.substr(info.param.rfind('/') + 1));
}

// Libraries, buffers and pictures beside the cases are companions, not cases.
INSTANTIATE_TEST_SUITE_P(Data, ReaderCase,
                         ::testing::ValuesIn(cases("cases", {".obj", ".3ds", ".dae", ".gltf", ".an8"})), caseName);
INSTANTIATE_TEST_SUITE_P(Hostile, ReaderCase, ::testing::ValuesIn(cases("cases/hostile", {})), caseName);
INSTANTIATE_TEST_SUITE_P(Findings, ReaderCase, ::testing::ValuesIn(cases("hostile", {})), caseName);

}  // namespace
}  // namespace molv

// A fresh run whose configuration, work folder and log file lie in a
// temporary folder of its own, so a test never touches a user's.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv::test {

struct RunFolder : ::testing::Test, TestContext {
    std::string dir;

    void SetUp() override {
        dir = tempDir("run");
        ctx.app.configDir = dir;
        ctx.app.workdir = dir + "work/";
        std::string err;
        ASSERT_TRUE(makeFolder(ctx.app.workdir, err)) << err;
        ctx.logFileName = dir + "0molvconv.log";
    }

    // Fix-ups as the Settings menu shows them; reads and writes take them over.
    void menuAutos(bool resize, bool zeroBase, bool centre) {
        ctx.menu.marks.autoResize = ctx.settings.autoResize = resize;
        ctx.menu.marks.autoZeroBsHt = ctx.settings.autoZeroBsHt = zeroBase;
        ctx.menu.marks.autoCentre = ctx.settings.autoCentre = centre;
    }
};

}  // namespace molv::test

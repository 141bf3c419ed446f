// A small Collada document for the tests, in the layout exporters use (one
// tag, or one element with its text, per line), and edits of it.
#pragma once
#include <string>
#include <string_view>

#include "support/harness.h"
#include "support/test_support.h"

namespace molv::daetest {

// A textured quad of four positions (1 2 3, 4 2 3, 4 5 3, 1 5 3) in two
// triangles whose first corner uses position 0 with two different texture
// coordinates; material "Wood" with an image, colours, shininess and
// transparency; one node placing the geometry with an identity matrix.
inline std::string quadDoc() { return test::readFile(test::dataPath("cases/hostile/sample.dae")); }

// Replaces the one occurrence of `from` (the test fails loudly otherwise).
inline std::string edit(std::string doc, std::string_view from, std::string_view to) {
    std::size_t at = doc.find(from);
    if (at == std::string::npos || doc.find(from, at + 1) != std::string::npos)
        return "<!-- edit failed: " + std::string(from) + " -->";
    doc.replace(at, from.size(), to);
    return doc;
}

}  // namespace molv::daetest

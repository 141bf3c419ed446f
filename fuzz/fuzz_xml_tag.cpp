// The line-mode XML tag reader: the same bytes in line mode, in character
// mode, each until it reports the end or a fault. Every tag read must move the read position on.
// seeds: dae xml xsf xmf xrf
#include "cal3d/xml_tag.h"
#include "fuzz/harness.h"
#include "util/assoc_array.h"

namespace molv::fuzz {

namespace {

template <class ReadOne>
void walk(std::string_view input, const char* mode, ReadOne&& readOne) {
    XmlSource src(input);
    for (;;) {
        const std::size_t before = src.offset();
        if (!readOne(src)) break;
        if (src.offset() <= before && !src.atEnd()) fault(std::string(mode) + ": a tag was read without moving on");
    }
}

}  // namespace

void fuzzOne(Run& run, std::string_view input) {
    Diagnostics& d = run.ctx;
    std::string name, text, closing;
    AssocArray attrs;
    walk(input, "line mode", [&](XmlSource& s) { return readXmlTag(d, s, name, text, closing, attrs, false); });
    walk(input, "character mode", [&](XmlSource& s) {
        if (!readXmlTag(d, s, name, text, closing, attrs, true)) return false;
        // What the readers do with a tag: its attributes and text decoded.
        std::int32_t i = -1;
        std::string n, v;
        while (attrs.get_NameValueSeq(i, n, v)) decodeXmlText(v);
        decodeXmlText(text);
        return true;
    });
}

}  // namespace molv::fuzz

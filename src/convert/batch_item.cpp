#include "convert/batch_item.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>

#include "convert/context.h"
#include "convert/driver.h"
#include "util/child_process.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// Nobody watches a batch item: questions take their defaults, messages
// are kept so a failure can say why.
class BatchUI : public QuietUI {
public:
    std::vector<std::string> messages;
    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        if (b == Buttons::Ok) messages.push_back(text);
        return dflt;
    }
};

// One line of text: a message's line breaks become " | ".
std::string oneLine(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    replaceAll(s, "\r\n", " | ");
    replaceAll(s, "\n", " | ");
    if (s.size() > 300) s = s.substr(0, 297) + "...";
    return s;
}

}  // namespace

void convertItem(const Context& base, BatchItem& item, RunNames& names) {
    BatchUI ui;
    Context ctx(ui);
    ctx.app.devMode = base.app.devMode;
    ctx.app.configDir = base.app.configDir;
    ctx.app.workdir = base.app.workdir;
    ctx.app.knownTypes = base.app.knownTypes;
    ctx.settings = base.settings;
    ctx.menu = base.menu;
    // In developer mode the panel's Source field names what is read.
    if (ctx.app.devMode) ctx.menu.tSrcFile = item.path;
    ctx.runNames = &names;
    bool ok = false;
    try {
        ConversionResult r = convert(ctx, ConversionRequest(item.path, item.output));
        ok = r.ok();
        item.warnings = std::move(r.warnings);
    } catch (const std::exception& e) {
        ui.messages.push_back(std::string("Unexpected error: ") + e.what());
    } catch (...) {  // one item's fault never ends the batch
        ui.messages.push_back("Unexpected error");
    }
    item.ok = ok;
    if (!ok) item.reason = ui.messages.empty() ? std::string("the conversion failed") : oneLine(ui.messages.back());
}

namespace {

// What passes between a batch and an item converted in a process of its
// own: messages of fields, each field its length in decimal, a colon and
// its bytes, so that any name (line breaks, colons) passes unchanged.
constexpr const char* kItemGreeting = "molvconv batch item 1";
constexpr std::size_t kMaxField = std::size_t{1} << 26;

void putField(std::string& out, std::string_view f) {
    out += std::to_string(f.size());
    out += ':';
    out.append(f);
}

template <class Fields>
std::string message(const Fields& fields) {
    std::string body;
    for (std::string_view f : fields) putField(body, f);
    std::string out;
    putField(out, body);
    return out;
}

// The field at pos of buf: 1 taken (pos moves past it), 0 not all there
// yet, -1 malformed.
int takeField(std::string_view buf, std::size_t& pos, std::string& out) {
    std::size_t i = pos, len = 0;
    for (; i < buf.size() && buf[i] >= '0' && buf[i] <= '9'; ++i) {
        len = len * 10 + static_cast<std::size_t>(buf[i] - '0');
        if (len > kMaxField) return -1;
    }
    if (i == buf.size()) return 0;
    if (buf[i] != ':' || i == pos) return -1;
    if (buf.size() - i - 1 < len) return 0;
    out.assign(buf.substr(i + 1, len));
    pos = i + 1 + len;
    return 1;
}

// The fields of one message body.
bool splitFields(std::string_view body, std::vector<std::string>& fields) {
    fields.clear();
    for (std::size_t pos = 0; pos < body.size();) {
        std::string f;
        if (takeField(body, pos, f) != 1) return false;
        fields.push_back(std::move(f));
    }
    return true;
}

// Reads one whole message from a stream; false at its end or when malformed.
bool readMessage(std::FILE* in, std::vector<std::string>& fields) {
    std::string head;
    for (int c; (c = std::fgetc(in)) != ':';) {
        if (c == EOF || c < '0' || c > '9' || head.size() > 9) return false;
        head += static_cast<char>(c);
    }
    if (head.empty()) return false;
    const std::size_t len = std::stoull(head);
    if (len > kMaxField) return false;
    std::string body(len, '\0');
    if (len > 0 && std::fread(body.data(), 1, len, in) != len) return false;
    return splitFields(body, fields);
}

std::string flagText(bool b) { return b ? "1" : "0"; }

// Every setting, exactly (sizes by their bits), as key and value fields.
void putSettings(std::vector<std::string>& out, const Settings& s) {
    for (const SettingDef& d : settingsTable()) {
        out.emplace_back(d.key);
        switch (d.type) {
            case SettingType::Flag: out.push_back(flagText(s.*d.flag)); break;
            case SettingType::Size: out.push_back(std::to_string(std::bit_cast<std::uint32_t>(s.*d.size))); break;
            case SettingType::Integer: out.push_back(std::to_string(s.*d.integer)); break;
            case SettingType::Text: out.push_back(s.*d.text); break;
        }
    }
}

bool takeSettings(const std::vector<std::string>& f, std::size_t& i, Settings& s) {
    for (const SettingDef& d : settingsTable()) {
        if (i + 1 >= f.size() || f[i] != d.key) return false;
        const std::string& v = f[i + 1];
        i += 2;
        try {
            switch (d.type) {
                case SettingType::Flag: s.*d.flag = v == "1"; break;
                case SettingType::Size: s.*d.size = std::bit_cast<float>(static_cast<std::uint32_t>(std::stoul(v))); break;
                case SettingType::Integer: s.*d.integer = static_cast<std::int32_t>(std::stol(v)); break;
                case SettingType::Text: s.*d.text = v; break;
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

// The item and everything of the batch's context its conversion uses.
std::string itemRequest(const Context& base, const BatchItem& item) {
    std::vector<std::string> f = {kItemGreeting, item.path, item.output, flagText(base.app.devMode),
                                  base.app.configDir, base.app.workdir, base.app.knownTypes};
    putSettings(f, base.settings);
    const SettingsMenu& m = base.menu;
    putSettings(f, m.marks);
    for (const std::string* t : {&m.m_s_setsize_caption, &m.m_s_setbone_caption, &m.tSrcFile, &m.tKF1, &m.tKF2, &m.tDbgLvl})
        f.push_back(*t);
    for (bool b : {m.chStats, m.chDbgLog, m.chDbgLog2, m.chDbgLog3}) f.push_back(flagText(b));
    return message(f);
}

bool takeRequest(const std::vector<std::string>& f, Context& ctx, BatchItem& item) {
    if (f.size() < 7 || f[0] != kItemGreeting) return false;
    item.source = item.path = f[1];
    item.output = f[2];
    ctx.app.devMode = f[3] == "1";
    ctx.app.configDir = f[4];
    ctx.app.workdir = f[5];
    ctx.app.knownTypes = f[6];
    std::size_t i = 7;
    SettingsMenu& m = ctx.menu;
    if (!takeSettings(f, i, ctx.settings) || !takeSettings(f, i, m.marks) || f.size() != i + 10) return false;
    for (std::string* t : {&m.m_s_setsize_caption, &m.m_s_setbone_caption, &m.tSrcFile, &m.tKF1, &m.tKF2, &m.tDbgLvl})
        *t = f[i++];
    for (bool* b : {&m.chStats, &m.chDbgLog, &m.chDbgLog2, &m.chDbgLog3}) *b = f[i++] == "1";
    return true;
}

// The names of the batch's sets, kept by the parent: the child asks.
class ParentNames : public RunNames {
public:
    ParentNames(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
    bool claim(const std::string& path, const std::string& owner, std::string& other) override {
        const std::string m = message(std::vector<std::string_view>{"claim", path, owner});
        std::vector<std::string> f;
        if (std::fwrite(m.data(), 1, m.size(), out_) != m.size() || std::fflush(out_) != 0 || !readMessage(in_, f) ||
            f.empty()) {
            other = "a batch that no longer answers";
            return false;
        }
        if (f[0] == "ok") return true;
        other = f.size() > 1 ? f[1] : std::string("another set");
        return false;
    }

private:
    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace

void convertItemIsolated(const Context& base, BatchItem& item, RunNames& names, const std::string& program) {
    ChildProcess child;
    std::string err;
    if (!child.start(program, "--batch-item", err)) {
        item.ok = false;
        item.reason = oneLine("could not start a conversion: " + err);
        return;
    }
    bool done = false;
    std::string buf;
    std::size_t pos = 0;
    if (child.send(itemRequest(base, item))) {
        for (bool more = true; !done && more;) {
            std::string body;
            std::vector<std::string> f;
            const int got = takeField(buf, pos, body);
            if (got < 0) break;
            if (got == 0) {
                more = child.receive(buf);
                continue;
            }
            if (!splitFields(body, f) || f.empty()) break;
            if (f[0] == "claim" && f.size() == 3) {
                std::string other;
                const bool ok = names.claim(f[1], f[2], other);
                if (!child.send(message(ok ? std::vector<std::string_view>{"ok"} : std::vector<std::string_view>{"taken", other}))) break;
            } else if (f[0] == "done" && f.size() >= 3) {
                item.ok = f[1] == "1";
                item.reason = f[2];
                item.warnings.assign(f.begin() + 3, f.end());
                done = true;
            } else {
                break;
            }
        }
    }
    const std::string ending = child.finish();
    if (!done) {
        // Its set never reached the commit, or broke off in it; what it
        // left half-written goes (files set aside in a commit stay: they
        // are the older set's).
        removeTemporariesOf(folderOf(item.output.empty() ? item.path : item.output), child.id());
        item.ok = false;
        item.warnings.clear();
        item.reason = "the conversion ended abnormally: " + (ending.empty() ? std::string("it broke off") : ending);
    }
}

int batchItemMain(const std::function<void(const std::string&)>& beforeConvert) {
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    if (!takeParentStream(in, out)) return 2;
    std::vector<std::string> f;
    BatchUI ui;
    Context base(ui);
    BatchItem item;
    if (!readMessage(in, f) || !takeRequest(f, base, item)) {
        std::fputs("molvconv: --batch-item is for the program's own use\n", stderr);
        return 2;
    }
    if (beforeConvert) beforeConvert(item.path);
    ParentNames names(in, out);
    convertItem(base, item, names);
    std::vector<std::string_view> done = {"done", item.ok ? "1" : "0", item.reason};
    for (const std::string& w : item.warnings) done.push_back(w);
    const std::string m = message(done);
    const bool sent = std::fwrite(m.data(), 1, m.size(), out) == m.size() && std::fflush(out) == 0;
    return sent ? 0 : 2;
}

}  // namespace molv

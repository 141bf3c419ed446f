#include "convert/batch.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "convert/context.h"
#include "convert/driver.h"
#include "convert/registry.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

namespace fs = std::filesystem;

bool isModelFile(const fs::path& p, bool devMode) {
    std::string ext = utf8Path(p.extension());
    if (ext.empty()) return false;
    ext = toLowerAscii(ext.substr(1));
    const FormatEntry* f = formatFor(ext);
    return f && f->read && f->geometry && readAccepted(ext, devMode);
}

}  // namespace

std::vector<BatchItem> batchSources(const std::vector<std::string>& paths, const std::string& cwd, bool recursive,
                                    bool devMode) {
    std::vector<BatchItem> out;
    for (const std::string& given : paths) {
        const std::string path = isAbsolutePath(given) || cwd.empty() ? given : joinPath(cwd, given);
        if (fileExists(path) && !folderExists(path)) {
            out.push_back({given, path, false, {}, {}, {}});
            continue;
        }
        if (!folderExists(path)) {
            out.push_back({given, path, false, "no such file or folder", {}, {}});
            continue;
        }
        std::vector<std::pair<std::string, std::string>> found;  // shown, path
        std::error_code ec;
        const fs::path root = fsPath(path).lexically_normal();
        auto take = [&](const fs::directory_entry& e) {
            std::error_code fec;
            if (!e.is_regular_file(fec) || !isModelFile(e.path(), devMode)) return;
            const std::string rel = utf8Path(e.path().lexically_relative(root));
            found.emplace_back(given == "." ? rel : joinPath(given, rel), utf8Path(e.path()));
        };
        if (recursive) {
            for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                take(*it);
        } else {
            for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
                take(*it);
        }
        if (ec && found.empty()) {
            out.push_back({given, path, false, "cannot list the folder: " + ec.message(), {}, {}});
            continue;
        }
        std::sort(found.begin(), found.end());
        for (auto& [shown, p] : found) out.push_back({shown, p, false, {}, {}, {}});
    }
    return out;
}

void convertBatch(const Context& base, std::vector<BatchItem>& items, int jobs,
                  const std::function<void(const std::string&)>& line, const std::function<bool()>& stopped,
                  const std::string& itemProgram) {
    // Sources whose sets would share a name ("a b.obj", "a&b.obj" and
    // "a_b.obj" all give "a_b.cmf") must not overwrite each other: the
    // first keeps the name, each later one gets a name of its own ("a_b_2")
    // and a warning line.
    QuietUI scratchUi;
    Context scratch(scratchUi);
    std::set<std::string> taken;
    std::vector<std::pair<std::size_t, std::string>> renamed;
    std::vector<std::vector<std::size_t>> tasks;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].reason.empty()) continue;  // failed before it began
        const std::string named = outputNameFor(scratch, items[i].path);
        std::string out = named;
        for (int k = 2; !taken.insert(toLowerAscii(out)).second; ++k)
            out = pathNoExt(named) + "_" + std::to_string(k) + "." + extOf(named);
        if (out != named) {
            items[i].output = out;
            renamed.emplace_back(i, named);
        }
        tasks.push_back({i});
    }
    for (const BatchItem& item : items)
        if (!item.reason.empty()) line(batchResultLine(item));
    for (const auto& [i, named] : renamed)
        line("warning    " + items[i].source + ": its set would be named " + fileNameOf(named) +
             " as another's is; written as " + fileNameOf(items[i].output));

    RunNames names;
    std::mutex printing;
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t t; (t = next.fetch_add(1)) < tasks.size();)
            for (std::size_t i : tasks[t]) {
                if (stopped && stopped())
                    items[i].reason = "stopped before it began";
                else if (!itemProgram.empty())
                    convertItemIsolated(base, items[i], names, itemProgram);
                else
                    convertItem(base, items[i], names);
                std::lock_guard<std::mutex> lock(printing);
                line(batchResultLine(items[i]));
            }
    };
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(1, jobs)), std::max<std::size_t>(1, tasks.size()));
    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < n; ++k) threads.emplace_back(worker);
    worker();
    for (std::thread& th : threads) th.join();
}

std::string batchResultLine(const BatchItem& item) {
    if (!item.ok) return "failed     " + item.source + ": " + item.reason;
    std::string line = "converted  " + item.source;
    if (item.warnings.empty()) return line;
    line += ", " + std::to_string(item.warnings.size()) + (item.warnings.size() == 1 ? " warning" : " warnings");
    for (const std::string& w : item.warnings) line += "\n           warning: " + w;
    return line;
}

std::string batchSummary(const std::vector<BatchItem>& items) {
    std::size_t width = 4, failed = 0, warned = 0;
    for (const BatchItem& i : items) width = std::max(width, i.source.size());
    width = std::min<std::size_t>(width, 60);
    auto pad = [](const std::string& s, std::size_t w) { return s.size() >= w ? s : s + std::string(w - s.size(), ' '); };
    std::string out = "Result     " + pad("File", width) + "  Warnings  Reason\n";
    for (const BatchItem& i : items) {
        failed += !i.ok;
        warned += i.ok && !i.warnings.empty();
        std::string row = (i.ok ? "converted  " : "failed     ") + pad(i.source, width) + "  " +
                          pad(i.warnings.empty() ? "-" : std::to_string(i.warnings.size()), 8) + "  " + i.reason;
        while (!row.empty() && row.back() == ' ') row.pop_back();
        out += row + "\n";
    }
    out += std::to_string(items.size()) + (items.size() == 1 ? " file: " : " files: ") +
           std::to_string(items.size() - failed) + " converted";
    if (warned > 0) out += " (" + std::to_string(warned) + " with warnings)";
    out += ", " + std::to_string(failed) + " failed\n";
    return out;
}

int batchExitStatus(const std::vector<BatchItem>& items, bool strict) {
    const auto failed = std::count_if(items.begin(), items.end(),
                                      [&](const BatchItem& i) { return !i.ok || (strict && !i.warnings.empty()); });
    return static_cast<int>(std::min<std::ptrdiff_t>(failed, 125));
}

}  // namespace molv

#include "util/paths.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include "util/assoc_array.h"
#include "util/fileio.h"
#include "util/fspath.h"

namespace molv {

namespace {

struct PathParts {
    std::string drive, folder, name, ext;
};

PathParts splitPath(std::string_view path) {
    PathParts p;
    if (!path.empty() && path.front() == '"') {
        path.remove_prefix(1);
        std::size_t q = path.find('"');
        if (q != std::string_view::npos) path = path.substr(0, q);
    }
    if (path.empty()) return p;
    // Both kinds split: sources written on either system name their files
    // either way, sometimes mixed.
    auto isSep = [](char c) { return c == '/' || c == '\\'; };
    auto findSep = [&](std::string_view s, std::size_t from) -> std::size_t {
        for (std::size_t i = from; i < s.size(); ++i)
            if (isSep(s[i])) return i;
        return std::string_view::npos;
    };

    std::string_view rest = path;
    // A drive ("C:") only when its colon comes before any separator.
    std::size_t colon = rest.find(':');
    if (colon != std::string_view::npos && findSep(rest, 0) > colon) {
        p.drive.assign(rest.substr(0, colon + 1));
        rest.remove_prefix(colon + 1);
    }
    if (rest.size() >= 2 && isSep(rest[0]) && isSep(rest[1])) {
        // Server and share: "\\server\share" (after a drive letter only the
        // server part).
        std::size_t afterServer = findSep(rest, 2);
        std::size_t cut = afterServer;
        if (p.drive.empty() && afterServer != std::string_view::npos) cut = findSep(rest, afterServer + 1);
        if (cut == std::string_view::npos) cut = rest.size();
        p.drive.append(rest.substr(0, cut));
        rest.remove_prefix(cut);
    }
    std::size_t last = std::string_view::npos;
    for (std::size_t i = rest.size(); i > 0; --i)
        if (isSep(rest[i - 1])) {
            last = i - 1;
            break;
        }
    std::string_view file = rest;
    if (last != std::string_view::npos) {
        p.folder.assign(rest.substr(0, last + 1));
        file = rest.substr(last + 1);
    }
    std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) {
        p.name.assign(file);
    } else {
        p.name.assign(file.substr(0, dot));
        p.ext.assign(file.substr(dot + 1));
    }
    return p;
}

}  // namespace

std::string pathPart(std::string_view path, int mask) {
    PathParts p = splitPath(path);
    std::string out;
    if (mask & kDrive) out += p.drive;
    if (mask & kFolder) out += p.folder;
    if (mask & kName) out += p.name;
    // No dot before an empty extension: "wood" must not become "wood.",
    // which names a different file outside Windows. With the name chosen the
    // dot stays even when the name is empty (".cfg").
    if ((mask & kExt) && !p.ext.empty()) {
        if (!out.empty() || (mask & kName)) out += '.';
        out += p.ext;
    }
    return out;
}

bool isAbsolutePath(std::string_view path) {
    if (path.empty()) return false;
#ifdef _WIN32
    // A leading separator roots the name on the current drive, "C:" names a
    // drive; "C:folder" (relative to that drive's own current folder) is
    // rare enough to count as absolute.
    return path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':');
#else
    return path[0] == '/';
#endif
}

std::string_view companionFileName(std::string_view name) {
    // A drive's colon ends a folder too ("C:wood.png").
    const std::size_t k = name.find_last_of("/\\:");
    return k == std::string_view::npos ? name : name.substr(k + 1);
}

std::string companionPath(std::string_view folder, std::string_view name) {
    const std::string_view file = companionFileName(name);
    if (file.empty() || file == "." || file == "..") return {};
    const bool absolute = name.front() == '/' || name.front() == '\\' || name.find(':') != std::string_view::npos;
    bool climbs = false;
    for (std::size_t at = 0; at <= name.size();) {
        std::size_t end = name.find_first_of("/\\", at);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(at, end - at) == "..") climbs = true;
        at = end + 1;
    }
    if (absolute || climbs) return joinPath(folder, file);
    std::string rel(name);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    return joinPath(folder, rel);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/' && out.back() != '\\') out += pathSep();
    out += name;
    return out;
}

bool writeLineTo(const std::string& path, std::string_view line, bool noNewline, bool append, std::string* errOut) {
    std::string err;
    bool ok;
    if (append) {
        std::FILE* f = openFile(path, "ab");
        if (!f) {
            err = std::strerror(errno);
            ok = false;
        } else {
            ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
            if (ok && !noNewline) ok = std::fwrite("\r\n", 1, 2, f) == 2;
            if (std::fclose(f) != 0) ok = false;
            if (!ok) err = "write error";
        }
    } else {
        std::string bytes(line);
        if (!noNewline) bytes += "\r\n";
        ok = writeFileAtomic(path, bytes, err);
    }
    if (!ok && errOut) *errOut = path + ": " + err;
    return ok;
}

bool readNameValueFile(const std::string& path, AssocArray& pairs, std::string* err, bool escape) {
    return pairs.load(path, {}, false, escape, err);
}

std::string percentDecoded(std::string_view s) {
    auto hexv = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexv(s[i + 1]) >= 0 && hexv(s[i + 2]) >= 0) {
            out += static_cast<char>(hexv(s[i + 1]) * 16 + hexv(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

int replaceAll(std::string& text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return 0;
    int n = 0;
    std::size_t at = 0;
    std::string out;
    std::size_t hit = text.find(find, at);
    if (hit == std::string::npos) return 0;
    out.reserve(text.size());
    while (hit != std::string::npos) {
        out.append(text, at, hit - at);
        out.append(replacement);
        at = hit + find.size();
        ++n;
        hit = text.find(find, at);
    }
    out.append(text, at, std::string::npos);
    text.swap(out);
    return n;
}

bool staysInside(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string_view::npos) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // Windows drops trailing dots and blanks: "..." and ".. " climb too.
        if (part.find("..") != std::string_view::npos && part.find_first_not_of(". ") == std::string_view::npos)
            return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::string_view lastComponent(std::string_view name) {
    const std::size_t k = name.find_last_of("/\\");
    return k == std::string_view::npos ? name : name.substr(k + 1);
}

}  // namespace molv

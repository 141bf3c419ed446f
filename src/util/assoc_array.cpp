#include "util/assoc_array.h"

#include <cfloat>
#include <cmath>
#include <iterator>

#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/text.h"

namespace molv {

namespace {

inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Compares a stored (upper-case) name with a sought name as if the sought
// one were upper-cased, by character code; no copy is made.
int compareUpper(const std::string& stored, std::string_view sought) {
    const std::size_t n = stored.size() < sought.size() ? stored.size() : sought.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(stored[i]);
        unsigned char b = static_cast<unsigned char>(upperAscii(sought[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (stored.size() == sought.size()) return 0;
    return stored.size() < sought.size() ? -1 : 1;
}

}  // namespace

void AssocArray::clear() {
    // Entries keep their string capacity for reuse: the XML reader clears
    // and refills one object per tag.
    count_ = 0;
    head_ = 0;
    cursor_ = 0;
    previous_ = 0;
    following_ = 0;
    ndxCount_ = 0;
    step_ = 1;
    ordered_.clear();
    if (entries_.empty()) entries_.resize(10);
    if (ndx_.empty()) {
        ndx_.resize(kIndexSlots + 1);
        ndx_[0].entry = -1;
    }
}

std::int32_t AssocArray::nextInOrder(std::int32_t i) const {
    return (i >= 1 && i <= count_) ? entries_[static_cast<std::size_t>(i)].next : 0;
}

std::int32_t AssocArray::indexEntry(int slot) const {
    return (slot >= 1 && slot <= ndxCount_) ? ndx_[static_cast<std::size_t>(slot)].entry : 0;
}

void AssocArray::rebuild_Ndx() const {
    // count / 100 rounded to nearest (halves to even), at least 1.
    std::int32_t step = static_cast<std::int32_t>(std::nearbyint(count_ / 100.0));
    if (step < 1) step = 1;
    step_ = step;
    ndxCount_ = 0;
    std::int32_t run = 0;
    for (std::int32_t e = head_; e != 0 && ndxCount_ < kIndexSlots; e = entries_[static_cast<std::size_t>(e)].next) {
        if (++run == step) {
            ++ndxCount_;
            Slot& s = ndx_[static_cast<std::size_t>(ndxCount_)];
            s.name = entries_[static_cast<std::size_t>(e)].name;
            s.entry = e;
            run = 0;
        }
    }
}

std::int32_t AssocArray::getNameNdx(std::string_view nam, bool noRebuild) const {
    if (!noRebuild && ndxCount_ == 0) rebuild_Ndx();

    std::int32_t cur = 0;
    std::int32_t prev = 0;
    int c = 1;
    if (!ordered_.empty()) {
        std::string up = toUpperAscii(nam);
        auto it = ordered_.lower_bound(up);
        if (it != ordered_.begin()) prev = std::prev(it)->second;
        if (it != ordered_.end()) {
            cur = it->second;
            c = it->first == up ? 0 : 1;
        }
    } else {
        cur = head_;
        if (ndxCount_ >= 11) {
            // Last slot whose name does not come after nam.
            int lo = 1, hi = ndxCount_, found = 0;
            while (lo <= hi) {
                int mid = (lo + hi) / 2;
                if (compareUpper(ndx_[static_cast<std::size_t>(mid)].name, nam) <= 0) {
                    found = mid;
                    lo = mid + 1;
                } else {
                    hi = mid - 1;
                }
            }
            if (found > 0) cur = ndx_[static_cast<std::size_t>(found)].entry;
        }
        while (cur != 0) {
            c = compareUpper(entries_[static_cast<std::size_t>(cur)].name, nam);
            if (c >= 0) break;
            prev = cur;
            cur = entries_[static_cast<std::size_t>(cur)].next;
        }
    }
    previous_ = prev;
    if (cur == 0) {
        cursor_ = 0;
        following_ = 0;
    } else {
        cursor_ = c == 0 ? cur : -cur;
        following_ = entries_[static_cast<std::size_t>(cur)].next;
    }
    return cursor_;
}

bool AssocArray::NameExists(std::string_view nam) const { return getNameNdx(nam) > 0; }

bool AssocArray::add(std::string_view nam, std::string_view valu, bool newOnly) {
    std::int32_t c = getNameNdx(nam);
    if (c > 0) {
        if (!newOnly) entries_[static_cast<std::size_t>(c)].value.assign(valu);
        return false;
    }
    ++count_;
    if (static_cast<std::size_t>(count_) >= entries_.size()) entries_.resize(entries_.size() + 10);
    Entry& e = entries_[static_cast<std::size_t>(count_)];
    e.name.assign(nam);
    for (char& ch : e.name) ch = upperAscii(ch);
    e.value.assign(valu);
    e.next = c < 0 ? -c : 0;
    if (previous_ != 0)
        entries_[static_cast<std::size_t>(previous_)].next = count_;
    else
        head_ = count_;
    cursor_ = count_;
    if (!ordered_.empty()) {
        ordered_.emplace(e.name, count_);
    } else if (count_ > kOrderedFrom) {
        for (std::int32_t i = 1; i <= count_; ++i) ordered_.emplace(entries_[static_cast<std::size_t>(i)].name, i);
    }
    return true;
}

bool AssocArray::get_NameValue(std::int32_t i, std::string& name, std::string& value) const {
    if (i < 1 || i > count_) return false;
    const Entry& e = entries_[static_cast<std::size_t>(i)];
    name = e.name;
    value = e.value;
    return true;
}

bool AssocArray::get_NameValueSeq(std::int32_t& i, std::string& name, std::string& value) const {
    if (i < 0) i = head_;
    if (i == 0 || i > count_) return false;
    const Entry& e = entries_[static_cast<std::size_t>(i)];
    name = e.name;
    value = e.value;
    i = e.next;
    return true;
}

const std::string* AssocArray::findValue(std::string_view nam) const {
    std::int32_t c = getNameNdx(nam);
    return c > 0 ? &entries_[static_cast<std::size_t>(c)].value : nullptr;
}

std::string AssocArray::getValue(std::string_view nam) const {
    const std::string* v = findValue(nam);
    return v ? *v : std::string();
}

bool AssocArray::getIfNotMT(std::string_view nam, std::string& dst) const {
    const std::string* v = findValue(nam);
    if (!v || v->empty()) return false;
    dst = *v;
    return true;
}

bool AssocArray::getIfNotMTB(std::string_view nam, bool& dst) const {
    const std::string* v = findValue(nam);
    if (!v || v->empty()) return false;
    std::string u = toUpperAscii(trimView(*v));
    if (u == "Y" || u == "TRUE" || u == "1") {
        dst = true;
        return true;
    }
    if (u == "N" || u == "FALSE" || u == "0") {
        dst = false;
        return true;
    }
    return false;
}

bool AssocArray::setvalue(std::string_view nam, std::string_view valu) {
    std::int32_t c = getNameNdx(nam);
    if (c <= 0) return false;
    entries_[static_cast<std::size_t>(c)].value.assign(valu);
    return true;
}

bool AssocArray::load(const std::string& path, std::string_view endMarker, bool encrypted, bool escape,
                      std::string* errOut, std::vector<std::string>* echo) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) {
        if (errOut) *errOut = path + ": " + err;
        return false;
    }
    // Encrypted files are read as plain text; the caller hears that they are not decrypted.
    if (encrypted && errOut) *errOut = "Encryption compilation not enabled ";
    TextReader rd(bytes);
    std::string raw;
    while (rd.readLineText(raw)) {
        std::string_view line = trimView(raw);
        if (echo) echo->emplace_back(line);
        if (line.empty()) continue;
        if (!endMarker.empty() && line == endMarker) break;
        if (line.front() == ';') continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        std::string_view name = trimView(line.substr(0, eq));
        std::string_view value = trimView(line.substr(eq + 1));
        if (escape)
            add(name, xmlEscape(value));
        else
            add(name, value);
    }
    return true;
}

bool AssocArray::save(const std::string& path, std::string_view endMarker, bool, std::string* errOut) const {
    std::string out;
    for (std::int32_t e = head_; e != 0; e = entries_[static_cast<std::size_t>(e)].next) {
        const Entry& en = entries_[static_cast<std::size_t>(e)];
        out += en.name;
        out += '=';
        out += en.value;
        out += "\r\n";
    }
    if (!endMarker.empty()) {
        out += endMarker;
        out += "\r\n";
    }
    std::string err;
    if (!writeFileAtomic(path, out, err)) {
        if (errOut) *errOut = path + ": " + err;
        return false;
    }
    return true;
}

}  // namespace molv

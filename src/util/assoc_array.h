// Name/value pairs of strings with case-insensitive names.
//
// Entries are numbered from 1 in insertion order and never move; a link
// threaded through them keeps the names in ascending character-code order,
// and a sparse index of at most 100 names (every step-th entry of that
// order) shortens searches to a binary search plus a short walk. Names are
// stored upper-cased (ASCII).
//
// That index cannot keep walks short once thousands of names arrive (and
// not at all when they arrive in order), so beyond kOrderedFrom entries an
// ordered map of the names takes over the searches. Small sets (the
// attributes of one XML tag) never allocate it, and clearing keeps the
// entries' storage for reuse.
//
// The typed getters (getIfNotMT*) leave their destination untouched when
// the name is missing, its value is empty or not a usable number.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace molv {


class AssocArray {
public:
    static constexpr int kIndexSlots = 100;
    static constexpr std::int32_t kOrderedFrom = 64;

    AssocArray() { clear(); }

    // Empties the object (as new).
    void clear();
    std::int32_t count() const { return count_; }
    // Rebuilds the sparse index from the current name order.
    void rebuild_Ndx() const;

    bool NameExists(std::string_view nam) const;
    // Searches for nam. Returns (and keeps as the cursor) the entry number
    // when found, else minus the entry the name would go before, or 0 when
    // it would go at the end.
    std::int32_t getNameNdx(std::string_view nam, bool noRebuild = false) const;

    // Inserts when missing (true). When present, replaces the value unless
    // newOnly (false either way).
    bool add(std::string_view nam, std::string_view valu = {}, bool newOnly = false);

    // Entry number i (insertion order, 1..count).
    bool get_NameValue(std::int32_t i, std::string& name, std::string& value) const;
    // Walks in name order: a negative i starts at the first name. Gives entry
    // i and moves i to the next one; false when i is 0 or beyond the count.
    bool get_NameValueSeq(std::int32_t& i, std::string& name, std::string& value) const;

    // The stored value, or nullptr when missing (no copy, no allocation).
    const std::string* findValue(std::string_view nam) const;
    // Value, or "" when missing.
    std::string getValue(std::string_view nam) const;
    bool getNameValueNdx(std::int32_t i, std::string& name, std::string& value) const {
        return get_NameValue(i, name, value);
    }

    bool getIfNotMT(std::string_view nam, std::string& dst) const;
    // Y/TRUE/1 and N/FALSE/0 in any case; returns whether dst was set.
    bool getIfNotMTB(std::string_view nam, bool& dst) const;

    // add without newOnly: true when newly added.
    bool setOrAddValue(std::string_view nam, std::string_view valu) { return add(nam, valu, false); }
    // Replaces the value only when the name exists (true then).
    bool setvalue(std::string_view nam, std::string_view valu);

    // Reads a name=value text file: lines are trimmed (and echoed to the log
    // file with echo); reading stops at a line equal to endMarker (when not
    // empty); a line counts when its first "=" is not its first character
    // and it does not begin with ";". Later pairs replace earlier ones. With
    // escape the values go through xmlEscape; echo, when given, receives
    // every trimmed line. False when the file cannot be read (err says why).
    bool load(const std::string& path, std::string_view endMarker = {}, bool encrypted = false,
              bool escape = false, std::string* err = nullptr, std::vector<std::string>* echo = nullptr);
    // Writes NAME=value lines (CR LF) in name order, then endMarker when not
    // empty. The file is replaced whole; false when it could not be written.
    bool save(const std::string& path, std::string_view endMarker = {}, bool encrypted = false,
              std::string* err = nullptr) const;

    // Inspection of the search state (tests, dumps).
    std::int32_t cursor() const { return cursor_; }
    std::int32_t head() const { return head_; }
    int indexCount() const { return ndxCount_; }
    std::int32_t indexStep() const { return step_; }
    // Entry number held by index slot 1..indexCount().
    std::int32_t indexEntry(int slot) const;
    // Entry number after entry i in name order (0 at the end).
    std::int32_t nextInOrder(std::int32_t i) const;

private:
    struct Entry {
        std::string name;
        std::string value;
        std::int32_t next = 0;
    };
    struct Slot {
        std::string name;
        std::int32_t entry = -1;
    };

    std::vector<Entry> entries_;  // entry 0 unused
    std::int32_t count_ = 0;
    std::int32_t head_ = 0;
    // Search state: lookups keep their result here, so they are const to
    // callers that only read.
    mutable std::int32_t cursor_ = 0;
    mutable std::int32_t previous_ = 0;
    mutable std::int32_t following_ = 0;
    mutable std::vector<Slot> ndx_;  // slot 0 holds entry -1
    mutable int ndxCount_ = 0;
    mutable std::int32_t step_ = 1;
    // Upper-case name -> entry number, once count passes kOrderedFrom.
    std::map<std::string, std::int32_t, std::less<>> ordered_;
};

}  // namespace molv

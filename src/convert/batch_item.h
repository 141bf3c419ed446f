// One batch item: converted here, or in a process of its own so that a
// crash fails that item alone. Between the two processes pass messages of
// fields (the item, the batch's whole settings snapshot, the set-name
// claims and the result).
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace molv {

struct Context;
class RunNames;

struct BatchItem {
    std::string source;  // as shown: the path given, or the folder given joined with the file's path under it
    std::string path;    // the file to convert (absolute, or relative to the current folder)
    bool ok = false;
    std::string reason;  // why it failed: the last message the conversion gave
    std::vector<std::string> warnings;  // of a conversion that wrote its set
    std::string output;  // where its set goes when not named from the source (another item's set has that name)
};

// Converts the item with a fresh context that asks nothing, taking its
// settings, folders and mode from `base`; `names` keeps the batch's set
// names apart.
void convertItem(const Context& base, BatchItem& item, RunNames& names);

// The same in a child process running `program --batch-item`. When the
// child ends without a result the item fails with how it ended, and the
// temporaries it left beside the set are removed.
void convertItemIsolated(const Context& base, BatchItem& item, RunNames& names, const std::string& program);

// The child's side of an item converted in a process of its own: reads the
// item and the batch's settings from the parent, converts, reports. The
// exit status is 0 once the result is sent. `beforeConvert` (tests) is
// called with the source's path first.
int batchItemMain(const std::function<void(const std::string&)>& beforeConvert = {});

}  // namespace molv

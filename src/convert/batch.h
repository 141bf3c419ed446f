// Batch conversion: many sources, each converted on its own with a fresh
// context that asks nothing (every question takes its default answer),
// several at a time; a result line per file and a summary table.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "convert/batch_item.h"

namespace molv {

// The files a batch converts, in order: each file named, and each model
// file (a type the program reads into a model: the user types, every type
// in developer mode) in each folder named, sorted by name, with
// `recursive` also in its sub-folders. A name that is neither file nor
// folder becomes an item already failed.
std::vector<BatchItem> batchSources(const std::vector<std::string>& paths, const std::string& cwd, bool recursive,
                                    bool devMode);

// Converts every item not already failed, `jobs` at a time, each with a
// fresh context taking its settings, folders and mode from `base`. Items
// whose sets would share a name get names of their own (a warning line
// each). `line` gets each result line as the item ends (from the worker's
// thread, one call at a time). Once `stopped` says so, no further item
// begins: those left fail as stopped; the ones under way finish, so no set
// is left half-written. With `itemProgram` (a program whose main runs
// batchItemMain for "--batch-item") each item is converted in a process of
// its own, so that a crash fails that item alone.
void convertBatch(const Context& base, std::vector<BatchItem>& items, int jobs,
                  const std::function<void(const std::string&)>& line,
                  const std::function<bool()>& stopped = {}, const std::string& itemProgram = {});

// "converted  NAME" (with ", N warnings" and one "warning: " line each) or
// "failed     NAME: REASON".
std::string batchResultLine(const BatchItem& item);
// The summary: one row per item (result, file, warnings, reason), then the totals.
std::string batchSummary(const std::vector<BatchItem>& items);
// The program's exit status: the number of failures, at most 125; with
// strict, items with warnings count as failures.
int batchExitStatus(const std::vector<BatchItem>& items, bool strict = false);

}  // namespace molv

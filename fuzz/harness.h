// The part every libFuzzer target shares. A target is one file fuzz_<name>.cpp
// that defines fuzzOne(); this harness owns LLVMFuzzerTestOneInput and gives
// each input a fresh run: a new Context with the default settings, a
// scripted window that answers every question with its default, and an
// empty temporary folder that is the only place anything may be written
// (no configuration folder, no log file). Faults the sanitizers cannot see
// (a broken store, files left behind by a failed conversion, a reader that
// stops advancing) end the run through fault(), so libFuzzer keeps the input.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "convert/context.h"
#include "core/scripted_ui.h"

namespace molv::fuzz {

class Run {
public:
    explicit Run(std::string_view input);

    ScriptedUI ui;
    Context ctx{ui};
    // The run's folder, with a trailing separator; emptied after each input.
    const std::string& dir() const;

    // Writes bytes to the run's folder under name; returns the path.
    std::string put(const std::string& name, std::string_view bytes) const;
    // Names the source dir() + name (folder, base name, current folder) and
    // returns what a reader of it is handed.
    ReadEnv source(const std::string& name);
    // Names of the files now in the run's folder, sorted.
    std::vector<std::string> files() const;
};

// Defined by each target: one input, read or converted in `run`.
void fuzzOne(Run& run, std::string_view input);

// Ends the process with the message; libFuzzer reports it as a crash and
// keeps the input.
[[noreturn]] void fault(const std::string& what);
// fault() when the store breaks a rule every writer relies on.
void checkStore(const Run& run);
// The store, read from a `source`, written as a binary mesh must read again.
void checkMeshReadsBack(Run& run, const char* source);

}  // namespace molv::fuzz

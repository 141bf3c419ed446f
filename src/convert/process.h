// What the process was given, as UTF-8 text: its command line, the program
// file, environment variables and the current folder. On Windows these come
// from the wide-character interfaces, and the command line is the text the
// user typed (GetCommandLineW), so splitCommandLine, not the C runtime,
// decides what a quote or a backslash means.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace molv {

// The command line after the program's name.
std::string processArguments(int argc, char** argv);
// The program file as started (argv0 where the system offers nothing better).
std::string processProgramPath(const char* argv0);
// The variable's value; unset and empty are the same.
std::optional<std::string> envValue(const char* name);
// The current folder; empty when it cannot be had.
std::string currentFolder();

// A name under which this very program file can be started again (also
// when started through PATH or a relative name).
std::string runningProgramFile(const char* argv0);

// The arguments of a whole Windows command line: the program's name (in
// quotes, or up to the first blank or tab) and the blanks after it go.
std::string argumentsOf(std::string_view commandLine);

// While it lives, a Windows console shows and takes UTF-8 text; the code
// pages it had come back afterwards. Elsewhere it does nothing.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned in_ = 0, out_ = 0;
};

// For a process that runs one conversion and exits: the allocator keeps
// freed memory for the next request instead of handing it back, so the
// large arrays a conversion makes one after another reuse pages already
// touched (a fresh page costs a fault; on a million-triangle model the
// faults were a third of the time), and the heap it grows into is marked
// for transparent huge pages, which cut those faults about forty-fold. Does
// nothing where the C library or the system has no such switch.
void keepFreedMemoryForReuse();

}  // namespace molv

// A program run as a child with one two-way byte stream: what the parent
// sends is the child's standard input, what the child writes to its
// standard output comes back. Used to keep a fault of one batch item (a
// crash, an abort) inside a process of its own.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

namespace molv {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // closes the stream and waits for the child
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program with the one argument arg; false with err set when it
    // cannot be started.
    bool start(const std::string& program, const std::string& arg, std::string& err);
    // False once the child no longer reads (it ended).
    bool send(std::string_view bytes);
    // Appends what the child wrote next; blocks until there is some. False
    // at the end of the stream.
    bool receive(std::string& into);
    // Closes the stream, waits for the child and describes how it ended:
    // empty for an exit with status 0, else "it ended with status N" or
    // "it was ended by signal N (NAME)".
    std::string finish();
    // The child's process id (also after finish).
    long id() const { return id_; }

private:
#ifdef _WIN32
    void* process_ = nullptr;
    void* toChild_ = nullptr;
    void* fromChild_ = nullptr;
#else
    int pid_ = -1;
    int fd_ = -1;
#endif
    bool finished_ = false;
    long id_ = -1;
};

// In a child: the stream to its parent, as files to read and write
// (binary). Standard output is standard error from here on, so that
// nothing else the child prints can end up in the stream. False when the
// streams cannot be had.
bool takeParentStream(std::FILE*& in, std::FILE*& out);

}  // namespace molv

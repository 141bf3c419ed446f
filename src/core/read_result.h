// What a reader hands back: whether it read its file and, when not, what to
// tell the user and where in which file it stopped. The reader asks its own
// questions while it reads; the caller shows the message.
#pragma once
#include <cstdint>
#include <string>

namespace molv {

struct ReadResult {
    enum class Status {
        Ok,         // the store holds what the file describes
        Failed,     // the file could not be read; message says why
        Cancelled,  // the user gave the file up at a question; message may be empty
    };
    Status status = Status::Ok;
    std::string message;        // shown as it stands; empty when the user was already told
    std::string file;           // the file the position is in (a library as well as the source)
    std::int64_t line = 0;      // 1-based line of a text file; 0 when none
    std::int64_t offset = -1;   // byte offset in a binary file; -1 when none

    bool ok() const { return status == Status::Ok; }
    explicit operator bool() const { return ok(); }

    static ReadResult failed(std::string message, std::string file = {}, std::int64_t line = 0) {
        ReadResult r;
        r.status = Status::Failed;
        r.message = std::move(message);
        r.file = std::move(file);
        r.line = line;
        return r;
    }
    static ReadResult failedAt(std::string message, std::string file, std::int64_t offset) {
        ReadResult r = failed(std::move(message), std::move(file));
        r.offset = offset;
        return r;
    }
    static ReadResult cancelled(std::string message = {}) {
        ReadResult r;
        r.status = Status::Cancelled;
        r.message = std::move(message);
        return r;
    }
    // "name line 12", "name at byte 40" or just the name; "" without a file.
    std::string where() const {
        if (file.empty()) return {};
        if (line > 0) return file + " line " + std::to_string(line);
        if (offset >= 0) return file + " at byte " + std::to_string(offset);
        return file;
    }
};

}  // namespace molv

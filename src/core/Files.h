#pragma once
// File descriptors owned by a value, and the whole-file reads and writes built on them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace parlomar {

// Owns an open file descriptor and closes it when it goes (a lock held on it goes with it).
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; false when the close reported an error (a write that did not reach the file).
    bool Close();

private:
    int fd_ = -1;
};

// Writes all of data, again after an interruption; false on any error.
bool WriteAll(int fd, std::string_view data);

// The whole of a regular file, at most maxSize bytes; nothing when it is missing, unreadable, not a
// regular file or bigger. Opened without waiting, so a FIFO or a device in the file's place gives
// nothing instead of a hang.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t maxSize);

} // namespace parlomar

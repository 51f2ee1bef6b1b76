// Helpers for tests that run the controller: a fresh working directory, captured output and
// whole-file reads.
#pragma once

#include <cstdio>
#include <string>

namespace scratch {

// Makes a fresh directory under the system's temporary folder, makes it the working directory
// and, when destroyed, goes back and removes it with everything in it.
class Dir {
  public:
    Dir();
    ~Dir();
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

// Sends one standard stream (stdout or stderr) to a file until finish(), which returns what
// was written; buffered output is flushed on both ends.
class Capture {
  public:
    explicit Capture(std::FILE* stream);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    // What was written so far, without ending the capture.
    std::string peek();
    std::string finish();

  private:
    std::FILE* stream_;
    int fd_;
    int saved_fd_ = -1;
    std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::string& path);

// True when this process holds an open descriptor on the file at `path`.
bool is_open_here(const std::string& path);

}  // namespace scratch

#include "tests/support/scratch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace scratch {

Dir::Dir() {
    previous_ = std::filesystem::current_path().string();
    std::string pattern =
        (std::filesystem::temp_directory_path() / "line_follower_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    std::filesystem::current_path(path_);
}

Dir::~Dir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
}

Capture::Capture(std::FILE* stream) : stream_(stream), fd_(fileno(stream)) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "line_follower_out_XXXXXX").string();
    const int file = mkstemp(pattern.data());
    if (file < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    path_ = pattern;
    std::fflush(stream_);
    saved_fd_ = dup(fd_);
    dup2(file, fd_);
    close(file);
}

Capture::~Capture() {
    if (saved_fd_ >= 0) {
        finish();
    }
    std::remove(path_.c_str());
}

std::string Capture::peek() {
    std::fflush(stream_);
    return read_file(path_);
}

std::string Capture::finish() {
    if (saved_fd_ >= 0) {
        std::fflush(stream_);
        dup2(saved_fd_, fd_);
        close(saved_fd_);
        saved_fd_ = -1;
    }
    return read_file(path_);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool is_open_here(const std::string& path) {
    std::error_code ec;
    const auto target = std::filesystem::canonical(path, ec);
    if (ec) {
        return false;
    }
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code link_ec;
        const auto link = std::filesystem::read_symlink(entry.path(), link_ec);
        if (!link_ec && link == target) {
            return true;
        }
    }
    return false;
}

}  // namespace scratch

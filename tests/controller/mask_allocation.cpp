#include "tests/controller/mask_allocation.hpp"

#include <cerrno>

#include "tests/support/robot_double.hpp"

extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* ptr);

namespace {

std::size_t g_fail_size = 0;
std::size_t g_watch_size = 0;
void* g_watched = nullptr;

}  // namespace

namespace mask_allocation {

void fail_size(std::size_t bytes) {
    g_fail_size = bytes;
}

void watch_size(std::size_t bytes) {
    g_watch_size = bytes;
    g_watched = nullptr;
}

}  // namespace mask_allocation

extern "C" void* __wrap_malloc(std::size_t size) {
    if (g_fail_size != 0 && size == g_fail_size) {
        errno = ENOMEM;
        return nullptr;
    }
    void* block = __real_malloc(size);
    if (g_watch_size != 0 && size == g_watch_size && g_watched == nullptr) {
        g_watched = block;
    }
    return block;
}

extern "C" void __wrap_free(void* ptr) {
    if (ptr != nullptr && ptr == g_watched) {
        g_watched = nullptr;
        robot_double::record({"free", "", {static_cast<long long>(g_watch_size)}, {}});
    }
    __real_free(ptr);
}

// Replies and events from libxcb belong to the caller, who frees them with free(). XcbReply
// holds one and frees it when it goes, so that no early return can leak one.
#pragma once

#include <cstdlib>
#include <memory>

namespace reloj {

struct FreeWithFree {
    void operator()(void* block) const { std::free(block); }
};

template <typename T> using XcbReply = std::unique_ptr<T, FreeWithFree>;

} // namespace reloj

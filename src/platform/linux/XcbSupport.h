#pragma once

#include <cstdlib>
#include <memory>

struct XcbFree {
    void operator()(void* reply) const { std::free(reply); }
};

/// Owns a reply, error or other block that xcb hands over for the caller to free.
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

// The fuzz input as a received frame: the bytes that fit the buffer, their count as its length.
#pragma once

#include "link/Frame.h"

#include <cstddef>
#include <cstdint>

inline nbx::FrameBuffer fuzzFrame(const uint8_t* data, size_t size)
{
    nbx::FrameBuffer f;
    const int n = int(size < size_t(nbx::FrameBuffer::kSize) ? size : size_t(nbx::FrameBuffer::kSize));
    for (int i = 0; i < n; ++i)
        f[i] = data[i];
    f.setLength(n);
    return f;
}

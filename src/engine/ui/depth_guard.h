#pragma once

#include <cstdint>

// Counts nesting through an early return or an exception alike.
class TDepthGuard {
public:
    explicit TDepthGuard(std::int32_t& depth) : FDepth(depth) { ++FDepth; }
    ~TDepthGuard() { --FDepth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;

private:
    std::int32_t& FDepth;
};

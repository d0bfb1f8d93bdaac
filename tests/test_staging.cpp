// The staging fill writes byte i = i mod 256 for any size, and nothing past it.
#include <gtest/gtest.h>

#include <vector>

#include "data/staging.h"

TEST(StagingFill, WritesTheRepeatingPatternExactly) {
  for (const uint32_t size : {0u, 1u, 255u, 256u, 257u, 511u, 1000u, 65536u, 70001u, 1048576u}) {
    SCOPED_TRACE(size);
    std::vector<unsigned char> buffer(size + 16, 0xAA);
    fillStagingBuffer(buffer.data(), size);
    size_t wrong = 0;
    for (uint32_t i = 0; i < size; i++) {
      wrong += buffer[i] != static_cast<unsigned char>(i % 256) ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(std::vector<unsigned char>(buffer.begin() + size, buffer.end()),
              std::vector<unsigned char>(16, 0xAA));
  }
}

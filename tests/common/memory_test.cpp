#include "common/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zumen {
namespace {

// Growing past the size where huge pages are advised keeps every element, in
// order, moved rather than copied; small vectors grow as push_back has them.
TEST(LargeBuffers, PushBackLargeKeepsEveryElementAcrossTheAdvisedGrowth) {
  std::vector<uint64_t> numbers;
  const size_t n = 3 * kHugePageWorthBytes / sizeof(uint64_t) + 17;
  for (size_t i = 0; i < n; ++i) PushBackLarge(numbers, uint64_t{i * 3});
  ASSERT_EQ(numbers.size(), n);
  for (size_t i = 0; i < n; i += 4099) EXPECT_EQ(numbers[i], i * 3);
  EXPECT_EQ(numbers.back(), (n - 1) * 3);

  std::vector<std::string> words;
  for (int i = 0; i < 1000; ++i) PushBackLarge(words, std::string(40, static_cast<char>('a' + i % 26)));
  ASSERT_EQ(words.size(), 1000u);
  EXPECT_EQ(words[27], std::string(40, 'b'));
}

TEST(LargeBuffers, ReserveLargeAndAdviceOnAnyRange) {
  std::vector<uint8_t> bytes{1, 2, 3};
  ReserveLarge(bytes, 5 * kHugePageWorthBytes);
  EXPECT_GE(bytes.capacity(), 5 * kHugePageWorthBytes);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
  // Ranges without a whole 2 MiB page in them, and none at all, are let be.
  AdviseHugePages(bytes.data() + 1, 100);
  AdviseHugePages(nullptr, 0);
  bytes.resize(5 * kHugePageWorthBytes, 7);
  EXPECT_EQ(bytes.back(), 7);
}

}  // namespace
}  // namespace zumen

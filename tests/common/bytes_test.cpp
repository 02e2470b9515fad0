#include "common/bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace zumen {
namespace {

TEST(ByteReader, ReadsLittleEndian) {
  const std::vector<uint8_t> d = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF};
  ByteReader r(d);
  uint16_t a = 0;
  int16_t b = 0;
  ASSERT_TRUE(r.u16(a));
  EXPECT_EQ(a, 0x0201);
  ASSERT_TRUE(r.skip(2));
  ASSERT_TRUE(r.i16(b));
  EXPECT_EQ(b, -1);
  EXPECT_TRUE(r.at_end());
  EXPECT_FALSE(r.failed());
}

TEST(ByteReader, ShortReadFailsWithoutMoving) {
  const std::vector<uint8_t> d = {1, 2, 3};
  ByteReader r(d);
  ASSERT_TRUE(r.skip(1));
  uint32_t v = 7;
  EXPECT_FALSE(r.u32(v));
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(r.pos(), 1u);
  EXPECT_TRUE(r.failed());
  std::vector<uint8_t> out;
  EXPECT_FALSE(r.bytes(3, out));
  EXPECT_EQ(r.pos(), 1u);
  EXPECT_TRUE(r.bytes(2, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 3}));
}

TEST(ByteReader, SeekPastEndFails) {
  const std::vector<uint8_t> d = {1, 2, 3};
  ByteReader r(d);
  EXPECT_TRUE(r.seek(3));  // the end itself is a valid position
  EXPECT_FALSE(r.failed());
  EXPECT_FALSE(r.seek(4));
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.pos(), 3u);
  EXPECT_FALSE(r.skip(1));
  ByteReader empty;
  uint8_t b = 0;
  EXPECT_FALSE(empty.u8(b));
}

}  // namespace
}  // namespace zumen

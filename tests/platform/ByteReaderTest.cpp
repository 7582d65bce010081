#include <gtest/gtest.h>

#include <array>

#include "platform/ByteReader.h"

TEST(ByteReader, ReadsExactlyWhatIsThereAndRaisesOnAShortRead) {
  const std::array<std::uint8_t, 6> bytes{1, 0, 0, 0, 9, 8};
  platform::TByteReader reader(bytes);
  EXPECT_EQ(reader.Read<std::int32_t>(), 1);
  std::uint8_t two[2];
  reader.Read(two, 2);
  EXPECT_EQ(two[0], 9);
  EXPECT_EQ(reader.Remaining(), 0u);
  try {
    reader.Read(two, 1);
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_STREQ(e.what(), "Read beyond end of file");
  }
  reader.Seek(100);  // seeking past the end is allowed; reading there is not
  EXPECT_THROW(reader.Take(1), platform::EInOutError);
  EXPECT_NO_THROW(reader.Take(0));
  EXPECT_THROW(reader.Seek(-1), platform::EInOutError);
  reader.Seek(4);
  EXPECT_EQ(reader.Take(2)[1], 8);
}

#include "jobs/drive_names.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(DriveNames, DriverPathByName) {
  const struct {
    const char* name;
    const char* path;
    bool serial;
  } cases[] = {
      {"quilUSB", "\\\\.\\quilUSB", false},
      {"quil97", "\\\\.\\quil97", false},
      {"Quillbank", "****Quillbank", true},
      {"quillbank", "\\\\.\\quillbank", false},
      {"QUILLBANK", "\\\\.\\QUILLBANK", false},
      {"Quillbank2", "\\\\.\\Quillbank2", false},
      {"****", "****", true},
      {"****COM2", "****COM2", true},
      {"***x", "\\\\.\\***x", false},
      {"", "\\\\.\\", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DriverPath(c.name), c.path);
    EXPECT_EQ(IsSerialDrive(DriverPath(c.name)), c.serial);
  }
}

TEST(DriveNames, IsSerialDriveLooksAtTheFirstFourCharacters) {
  EXPECT_TRUE(IsSerialDrive("****"));
  EXPECT_TRUE(IsSerialDrive("*****"));
  EXPECT_FALSE(IsSerialDrive("***"));
  EXPECT_FALSE(IsSerialDrive(""));
  EXPECT_FALSE(IsSerialDrive(" ****"));
  EXPECT_FALSE(IsSerialDrive("\\\\.\\****"));
}

TEST(DriveNames, MemoryFullOnlyRingMemoryOverwrites) {
  EXPECT_EQ(MemoryFullValue(1), "overwrite_old");
  for (long other : {0L, 2L, -1L, 257L}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(MemoryFullValue(other), "stop_logger");
  }
}

}  // namespace
}  // namespace qb

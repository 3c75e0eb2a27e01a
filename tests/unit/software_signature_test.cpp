#include "base/software_signature.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/self_check.h"

namespace qb {
namespace {

TEST(SoftwareSignature, ComesToTheRecordedValue) {
  EXPECT_EQ(SoftwareSignature(), 48531);
  EXPECT_EQ(SoftwareSignature(), kRecordedSoftwareSignature);
}

TEST(SoftwareSignature, TextGivesDecimalAndUpperCaseHex) {
  EXPECT_EQ(SignatureText(), "Software signature:\n48531.BD93");
}

TEST(SoftwareSignature, AboutTextHasSixLinesEndingInTheSignature) {
  EXPECT_EQ(AboutText(), "Quillbank Manager\n\nVersion 1.0.3.1\n\nSoftware signature:\n48531.BD93");
}

TEST(SelfCheck, PassesOnTheRunningProgram) {
  EXPECT_TRUE(SelfCheckPasses());
}

TEST(SelfCheck, FailsOnAMissingProgramFile) {
  EXPECT_FALSE(SelfCheckPasses("/nonexistent/quillbank-manager"));
}

TEST(SelfCheck, FailsOnAnEmptyProgramFile) {
  const std::string path = ::testing::TempDir() + "self_check_empty";
  { std::ofstream(path, std::ios::binary | std::ios::trunc); }
  EXPECT_FALSE(SelfCheckPasses(path));
}

TEST(SelfCheck, FailsOnADirectory) {
  EXPECT_FALSE(SelfCheckPasses("/"));
}

}  // namespace
}  // namespace qb

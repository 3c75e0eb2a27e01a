#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "format/sha256.h"
#include "format/sha256_paths.h"

namespace qb {
namespace {

std::string Hex(const std::string& text) {
  return Sha256HexOf(text.data(), text.size());
}

TEST(FormatSha256, StandardVectors) {
  EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the block and padding edges, fed in random pieces, give
// what one piece gives; the processor's SHA instructions (where present)
// agree with the portable rounds on every block.
TEST(FormatSha256, PiecesAndPathsAgree) {
  std::mt19937 gen(7);
  std::vector<uint8_t> bytes(4096 + 7);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(gen());
  for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 4096 + 7}) {
    SCOPED_TRACE(length);
    std::string whole = Sha256HexOf(bytes.data(), length);
    Sha256 pieces;
    for (size_t done = 0; done < length;) {
      size_t take = std::min<size_t>(1 + gen() % 150, length - done);
      pieces.Update(bytes.data() + done, take);
      done += take;
    }
    EXPECT_EQ(Sha256Hex(pieces.Finish()), whole);
  }
  if (!Sha256ShaExtensionsAvailable()) GTEST_SKIP() << "no SHA instructions here";
  for (size_t blocks : {1, 2, 64}) {
    uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t extensions[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Sha256BlocksPortable(portable, bytes.data(), blocks);
    Sha256BlocksShaExtensions(extensions, bytes.data(), blocks);
    EXPECT_EQ(std::vector<uint32_t>(portable, portable + 8),
              std::vector<uint32_t>(extensions, extensions + 8));
  }
}

}  // namespace
}  // namespace qb

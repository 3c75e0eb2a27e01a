#include "file_digest.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, whose types it uses
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

#include <cstdio>
#include <memory>
#include <vector>

namespace qb {
namespace {

std::string HexText(const unsigned char* digest, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0x0F];
  }
  return hex;
}

#ifdef _WIN32
constexpr char kReadMode[] = "rb";
#else
constexpr char kReadMode[] = "rbe";
#endif

}  // namespace

#ifdef _WIN32

bool FileSha256(const std::string& path, std::string& hex) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), kReadMode), std::fclose);
  if (!file) return false;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return false;
  std::unique_ptr<void, void (*)(void*)> algorithm_guard(
      algorithm, [](void* a) { BCryptCloseAlgorithmProvider(a, 0); });
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) return false;
  std::unique_ptr<void, void (*)(void*)> hash_guard(hash, [](void* h) { BCryptDestroyHash(h); });
  std::vector<unsigned char> buffer(1 << 20);
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    if (!BCRYPT_SUCCESS(BCryptHashData(hash, buffer.data(), static_cast<ULONG>(got), 0)))
      return false;
  }
  if (std::ferror(file.get())) return false;
  unsigned char digest[32];
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0))) return false;
  hex = HexText(digest, sizeof digest);
  return true;
}

#else

bool FileSha256(const std::string& path, std::string& hex) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), kReadMode), std::fclose);
  if (!file) return false;
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<unsigned char> buffer(1 << 20);
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    if (EVP_DigestUpdate(context.get(), buffer.data(), got) != 1) return false;
  }
  if (std::ferror(file.get())) return false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return false;
  hex = HexText(digest, length);
  return true;
}

#endif

}  // namespace qb

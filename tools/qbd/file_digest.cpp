#include "file_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace qb {

bool FileSha256(const std::string& path, std::string& hex) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rbe"), std::fclose);
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
  static const char kDigits[] = "0123456789abcdef";
  hex.clear();
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0x0F];
  }
  return true;
}

}  // namespace qb

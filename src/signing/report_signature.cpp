#include "signing/report_signature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "base/text_format.h"

namespace qb {
namespace {

// A PEM key is a few hundred bytes; anything far larger is no key.
constexpr size_t kMaxKeyFileSize = 64 * 1024;

using PKey = std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)>;

// The file's bytes, at most kMaxKeyFileSize.
bool ReadKeyFile(const std::string& path, std::string& bytes, std::string& problem) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    problem = FillMessage(msg::kKeyUnreadable, path.c_str(), std::strerror(errno));
    return false;
  }
  char piece[4096];
  size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file.get())) > 0) {
    if (bytes.size() + got > kMaxKeyFileSize) {
      problem = FillMessage(msg::kKeyTooLarge, path.c_str());
      return false;
    }
    bytes.append(piece, got);
  }
  if (std::ferror(file.get())) {
    problem = FillMessage(msg::kKeyUnreadable, path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// The key in the PEM text, private or public; null when there is none or
// it is not an Ed25519 key.
PKey ParseKey(const std::string& pem, bool private_key) {
  std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                          BIO_free);
  // No password callback: a key that needs one is not usable here.
  static auto no_password = [](char*, int, int, void*) { return 0; };
  EVP_PKEY* key = nullptr;
  if (bio) {
    key = private_key ? PEM_read_bio_PrivateKey(bio.get(), nullptr, no_password, nullptr)
                      : PEM_read_bio_PUBKEY(bio.get(), nullptr, no_password, nullptr);
  }
  if (key != nullptr && EVP_PKEY_id(key) != EVP_PKEY_ED25519) {
    EVP_PKEY_free(key);
    key = nullptr;
  }
  return PKey(key, EVP_PKEY_free);
}

}  // namespace

struct SignatureKey::Key {
  PKey key{nullptr, EVP_PKEY_free};
};

bool SigningAvailable() {
  return true;
}

bool SignWithKeyFile(const std::string& key_path, const std::string& message,
                     std::string& signature, std::string& problem) {
  std::string pem;
  if (!ReadKeyFile(key_path, pem, problem)) return false;
  PKey key = ParseKey(pem, true);
  // The key's text goes as soon as it has been read.
  OPENSSL_cleanse(pem.data(), pem.size());
  if (!key) {
    problem = FillMessage(msg::kNotPrivateKey, key_path.c_str());
    return false;
  }
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned char bytes[kSignatureSize];
  size_t length = sizeof bytes;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), bytes, &length,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
      length != kSignatureSize) {
    problem = LoadMessage(msg::kSigningFailed);
    return false;
  }
  signature.assign(reinterpret_cast<const char*>(bytes), length);
  return true;
}

SignatureKey::SignatureKey() : key_(std::make_unique<Key>()) {}
SignatureKey::~SignatureKey() = default;

bool SignatureKey::Load(const std::string& path, std::string& problem) {
  std::string pem;
  if (!ReadKeyFile(path, pem, problem)) return false;
  key_->key = ParseKey(pem, false);
  if (!key_->key) {
    problem = FillMessage(msg::kNotPublicKey, path.c_str());
    return false;
  }
  return true;
}

bool SignatureKey::Verify(const std::string& message, const std::string& signature,
                          std::string& problem) const {
  problem.clear();
  if (signature.size() != kSignatureSize) {
    problem = FillMessage(msg::kSignatureLength, static_cast<unsigned long>(signature.size()));
    return false;
  }
  if (!key_->key) return false;
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  return context &&
         EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key_->key.get()) == 1 &&
         EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

}  // namespace qb

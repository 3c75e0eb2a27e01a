// Signatures of read reports with a lab's own Ed25519 key (created with
// `openssl genpkey -algorithm ed25519`): the report file's bytes signed, the
// 64 bytes of the signature kept beside it as NAME.qbd.report.sig. The
// private key is read for one signature and never kept or shown. Built on
// OpenSSL's libcrypto; a build without it signs and checks nothing and
// says so.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace qb {

constexpr size_t kSignatureSize = 64;

// The name of a record file's report signature: the record file's name
// followed by ".report.sig".
std::string ReportSignaturePath(const std::string& record_path);

// Whether this build can sign and check signatures.
bool SigningAvailable();

// Signs `message` with the private key in the PEM file `key_path`. False,
// with the reason in `problem` (one line), when the key cannot be read or
// is no Ed25519 private key.
bool SignWithKeyFile(const std::string& key_path, const std::string& message,
                     std::string& signature, std::string& problem);

// Signs the read report beside the record file `record_path` with the key
// and writes the signature beside it (write beside, then rename). False
// with the reason in `problem` (one line).
bool SignReportFile(const std::string& key_path, const std::string& record_path,
                    std::string& problem);

// A public key read once for checking many signatures.
class SignatureKey {
 public:
  SignatureKey();
  ~SignatureKey();
  SignatureKey(const SignatureKey&) = delete;
  SignatureKey& operator=(const SignatureKey&) = delete;

  // Reads the public key in the PEM file; false with the reason in
  // `problem` when it cannot be read or is no Ed25519 public key.
  bool Load(const std::string& path, std::string& problem);
  // Whether `signature` is this key's signature of `message`. False with the
  // reason in `problem` when the signature cannot be one (its length); false
  // with `problem` empty when it is not this key's.
  bool Verify(const std::string& message, const std::string& signature, std::string& problem) const;

 private:
  struct Key;
  std::unique_ptr<Key> key_;
};

}  // namespace qb

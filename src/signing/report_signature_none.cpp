// Signatures in a build without OpenSSL: nothing is signed or checked, and
// every attempt says why.
#include "base/messages.h"
#include "signing/report_signature.h"

namespace qb {

struct SignatureKey::Key {};

bool SigningAvailable() {
  return false;
}

bool SignWithKeyFile(const std::string&, const std::string&, std::string&, std::string& problem) {
  problem = LoadMessage(msg::kSigningUnavailable);
  return false;
}

SignatureKey::SignatureKey() : key_(std::make_unique<Key>()) {}
SignatureKey::~SignatureKey() = default;

bool SignatureKey::Load(const std::string&, std::string& problem) {
  problem = LoadMessage(msg::kSigningUnavailable);
  return false;
}

bool SignatureKey::Verify(const std::string&, const std::string&, std::string& problem) const {
  problem = LoadMessage(msg::kSigningUnavailable);
  return false;
}

}  // namespace qb

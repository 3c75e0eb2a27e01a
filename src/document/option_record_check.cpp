#include "document/option_record_check.h"

#include <string_view>

#include "base/messages.h"

namespace qb {

const Message<>* CheckOptionText(const uint8_t* text, size_t size) {
  std::string_view view(reinterpret_cast<const char*>(text), text != nullptr ? size : 0);
  if (view.find("protocol=0x3685E294") == std::string_view::npos) return &msg::kUnsupportedProtocol;
  size_t parameter = view.find("parameter");
  if (parameter == std::string_view::npos) return &msg::kInconsistentOptions;
  size_t equals = view.find('=', parameter);
  if (equals == std::string_view::npos) return &msg::kInconsistentOptions;
  // The value runs over the characters above 0x20 and below 0x80.
  size_t begin = equals + 1;
  size_t end = begin;
  while (end < view.size()) {
    auto c = static_cast<unsigned char>(view[end]);
    if (c <= 0x20 || c >= 0x80) break;
    ++end;
  }
  if (end - begin < 2) return &msg::kWrongParity;
  if (!ParityReadable(view[begin + 1])) return &msg::kWrongParity;
  return nullptr;
}

}  // namespace qb

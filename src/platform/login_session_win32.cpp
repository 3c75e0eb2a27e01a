#include "platform/login_session.h"

#include <windows.h>

namespace qb {

std::string LoginUser() {
  wchar_t name[257];
  DWORD length = sizeof name / sizeof name[0];
  if (!GetUserNameW(name, &length) || length == 0) return std::string();
  int count = length - 1;  // without the terminating zero
  int bytes = WideCharToMultiByte(CP_UTF8, 0, name, count, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, name, count, text.data(), bytes, nullptr, nullptr);
  return text;
}

std::string LoginSession() {
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return std::string();
  return std::to_string(static_cast<unsigned long>(session));
}

}  // namespace qb

// Walks over a program's arguments: options "--name value" or
// "--name=value", flags "--name", and plain arguments. Each program keeps
// its own names, checks and messages; this only splits the words.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qb::tools {

class CommandLine {
 public:
  CommandLine(int argc, char** argv) : args_(argv, argv + (argc > 0 ? argc : 0)) {}

  bool Done() const { return index_ >= args_.size(); }

  // Moves to the next argument; its name is then in name(), with any
  // "=value" of an argument starting with "--" cut off, unless the name is
  // one of `whole` (an option whose own value holds "=").
  void Step(const std::vector<std::string>& whole = {}) {
    arg_ = args_[index_++];
    const std::string& arg = arg_;
    const size_t equals = arg.find('=');
    inline_value_ = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    for (const std::string& name : whole) {
      if (inline_value_ && arg.compare(0, equals, name) == 0 && name.size() == equals)
        inline_value_ = false;
    }
    name_ = inline_value_ ? arg.substr(0, equals) : arg;
    value_ = inline_value_ ? arg.substr(equals + 1) : std::string();
  }

  // The current argument as given.
  const std::string& arg() const { return arg_; }
  // The current argument without its "=value" (or the whole argument).
  const std::string& name() const { return name_; }
  // True when the current argument carried no "=value".
  bool IsFlag() const { return !inline_value_; }

  // The value of the current option: after "=", else the next argument.
  // False when there is none; `missing` then holds "option NAME needs a
  // value".
  bool Value(std::string& value, std::string& missing) {
    if (!inline_value_) {
      if (index_ >= args_.size()) {
        missing = "option " + name_ + " needs a value";
        return false;
      }
      value_ = args_[index_++];
    }
    value = value_;
    return true;
  }

  // The next argument as it stands, when there is one (the value of an
  // option that takes no "=value" form); nullptr at the end.
  const std::string* Peek() const { return index_ < args_.size() ? &args_[index_] : nullptr; }
  void Skip() {
    if (index_ < args_.size()) ++index_;
  }

 private:
  std::vector<std::string> args_;
  size_t index_ = 0;
  std::string arg_;
  std::string name_;
  std::string value_;
  bool inline_value_ = false;
};

}  // namespace qb::tools

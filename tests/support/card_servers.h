// The programs that serve a card image for the length of a test: the card
// driver (carddriver, reached by "\\.\NAME") and the serial card drive
// (cardsim serial, reached by "****" with DD_DEVICE on its terminal).
#pragma once

#include <string>
#include <vector>

#include "support/program_runner_bg.h"

namespace qb::test {

// carddriver serving `image` in slot 0 as `name`, with `extra` arguments.
// Its socket goes where DD_KDVDIR points when it starts.
class CardDriverServer {
 public:
  CardDriverServer(const std::string& name, const std::string& image, const std::string& err_path,
                   const std::vector<std::string>& extra = {})
      : program_("carddriver", Args(name, image, extra), err_path) {}

  // Waits for the ready line; false when the driver ended or is late.
  bool Ready() { return program_.WaitFor("carddriver: serving"); }
  int Stop() { return program_.Stop(); }
  std::string err() const { return program_.err(); }

 private:
  static std::vector<std::string> Args(const std::string& name, const std::string& image,
                                       const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"--name", name, "--slot", "0=" + image};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  BackgroundProgram program_;
};

// cardsim serial serving `card`, with `extra` arguments (faults, noise,
// pace). Its first line of output names the terminal's slave side.
class SerialCardServer {
 public:
  SerialCardServer(const std::string& card, const std::string& err_path,
                   const std::vector<std::string>& extra = {})
      : program_("cardsim", Args(card, extra), err_path) {
    if (program_.WaitFor("\n", std::chrono::seconds(10)))
      slave_ = program_.out().substr(0, program_.out().find('\n'));
  }

  // The terminal to point DD_DEVICE at; empty when the server did not start.
  const std::string& slave() const { return slave_; }
  int Stop() { return program_.Stop(); }
  std::string err() const { return program_.err(); }

 private:
  static std::vector<std::string> Args(const std::string& card,
                                       const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"serial", "--card", card};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  BackgroundProgram program_;
  std::string slave_;
};

}  // namespace qb::test

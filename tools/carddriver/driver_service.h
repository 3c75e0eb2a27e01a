// What the stand-in card driver answers: the five device-control requests
// against the card images (or block devices) in its slots. Every request is
// checked against its record layout and the slot's card before anything is
// read or written; the reply never exceeds the caller's output capacity.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/device_channel.h"

namespace qb::carddriver {

struct SlotSetup {
  std::string path;  // empty: no card
  bool empty = false;
  bool write_protected = false;
  bool non_ata = false;
};

struct DriverSetup {
  std::string name;
  std::string signature = "KDV";
  uint16_t slots = 0;
  bool chs_only = false;  // word 53 = 0: capacity from the geometry
  std::map<uint16_t, SlotSetup> slot;
};

struct Reply {
  uint32_t result = 0;
  std::vector<uint8_t> output;
};

class DriverService {
 public:
  DriverService() = default;
  ~DriverService();
  DriverService(const DriverService&) = delete;
  DriverService& operator=(const DriverService&) = delete;

  // Opens the images of the slots that hold a card. An image that cannot be
  // opened for writing is opened for reading and shown as write-protected.
  // False with a message when one cannot be opened at all.
  bool Start(const DriverSetup& setup, std::string& error);
  Reply Handle(const ChannelRequest& request);

 private:
  struct Card {
    int fd = -1;
    uint64_t sectors = 0;
    bool write_protected = false;
    bool non_ata = false;
  };

  // The slot's card, or null with the result to answer.
  Card* CardIn(uint16_t slot, uint32_t& result);
  Reply Info(const ChannelRequest& request) const;
  Reply Status(const ChannelRequest& request);
  Reply Identify(const ChannelRequest& request);
  Reply Read(const ChannelRequest& request);
  Reply Write(const ChannelRequest& request);

  DriverSetup setup_;
  std::map<uint16_t, Card> cards_;
};

}  // namespace qb::carddriver

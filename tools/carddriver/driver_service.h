// What the stand-in card driver answers: the five device-control requests
// against the card images (or block devices) in its slots. Every request is
// checked against its record layout and the slot's card before anything is
// read or written; the reply never exceeds the caller's output capacity.
// Clients are served at the same time, each in a session of its own, and a
// card belongs to one session at a time.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
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
  // Answers one request of the client session `session`, the client's
  // connected descriptor (safe to call from several threads). The first request about a slot's
  // card claims the card for the session, with an exclusive lock on its
  // image that keeps jobs using the image directly out as well; a card
  // another session or program holds is answered with kKdvErrBusy.
  Reply Handle(const ChannelRequest& request, int session);
  // Gives up the cards `session` claimed.
  void EndSession(int session);

 private:
  struct Card {
    int fd = -1;
    uint64_t sectors = 0;
    bool write_protected = false;
    bool non_ata = false;
    int owner = -1;  // the session holding the card; -1: none
  };

  // The slot's card, claimed for `session`, or null with the result to
  // answer.
  Card* CardIn(uint16_t slot, int session, uint32_t& result);
  // Claims `card` for `session`: kDriverOk, or kKdvErrBusy.
  uint32_t Claim(Card& card, int session);
  Reply Info(const ChannelRequest& request) const;
  Reply Status(const ChannelRequest& request, int session);
  Reply Identify(const ChannelRequest& request, int session);
  Reply Read(const ChannelRequest& request, int session);
  Reply Write(const ChannelRequest& request, int session);

  DriverSetup setup_;
  std::map<uint16_t, Card> cards_;
  std::mutex mutex_;  // one request at a time
};

}  // namespace qb::carddriver

// The rooms: who holds which seat, the moves of each room's current game,
// and the checks on every message a page sends. Knows nothing of sockets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "store.h"

namespace server {

struct Room;

// One page's connection, as the rooms see it.
class Peer {
 public:
  virtual ~Peer() = default;
  virtual void send(std::shared_ptr<const std::string> text) = 0;
  virtual std::weak_ptr<Peer> self() = 0;
  Room* room = nullptr;
  std::vector<int> seats;  // the seats this page holds in its room
  std::string where;       // the page's network, for the failure log
};

struct Room {
  StoredRoom stored;
  std::vector<Peer*> pages;       // every page in the room, watchers too
  std::array<Peer*, 5> holder{};  // by seat 1..4: the page that holds it
  std::size_t committed = 0;      // moves stored; the rest wait for the flush
};

class Rooms {
 public:
  // post runs a function later on the server's one thread; every code made
  // here begins with codePrefix.
  Rooms(Store& store, std::function<void(std::function<void()>)> post, std::string codePrefix = "");
  void handle(Peer& peer, const std::string& text);
  void leave(Peer& peer);
  // Stores the moves received since the last flush, then sends them.
  void flush();
  // Removes the rooms without pages that nobody used for limitSeconds.
  void removeIdle(std::int64_t limitSeconds);
  std::size_t size() const { return rooms_.size(); }

 private:
  struct Pending {
    Room* room;
    std::weak_ptr<Peer> sender;
    long long previousSeq;
    std::size_t n = 0;  // the move's number, once stored
  };
  void create(Peer& peer, const nlohmann::json& m);
  void join(Peer& peer, const nlohmann::json& m);
  void start(Peer& peer, const nlohmann::json& m);
  void move(Peer& peer, const nlohmann::json& m);
  void broadcast(Room& room, const nlohmann::json& m);
  void sendPresence(Room& room);
  void refuse(Peer& peer, const std::string& message);
  nlohmann::json present(const Room& room) const;     // the seats that have a page now
  nlohmann::json everJoined(const Room& room) const;  // the seats whose link was ever opened

  Store& store_;
  std::function<void(std::function<void()>)> post_;
  std::string codePrefix_;
  std::unordered_map<std::string, std::unique_ptr<Room>> rooms_;
  std::vector<Pending> pending_;
  bool flushPosted_ = false;
  // A send may close a page, and its leaving must not reach the pages still
  // to be sent to in the middle of the message: while a broadcast runs, the
  // rooms whose presence changed wait here until it ends.
  int broadcasting_ = 0;
  std::vector<Room*> presenceDue_;
};

// The error message a page gets.
std::shared_ptr<const std::string> errorText(const std::string& message);

}  // namespace server

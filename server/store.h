// The rooms on disk: one SQLite file in write-ahead-log mode. A move is in
// the file before any page hears of it. A seat's token is kept only as its
// SHA-256 digest, so a copy of the file gives no seat away.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace server {

struct Move {
  std::uint8_t seat, col, row;
};

struct StoredRoom {
  std::string code;
  std::string settings;  // the room's settings as JSON
  int players = 2;
  std::array<std::string, 5> tokens;  // by seat 1..4: the token's digest; empty for no human seat
  std::array<long long, 5> lastSeq{};
  std::array<bool, 5> joined{};  // by seat: its link was opened once
  int game = 0;
  std::uint32_t seed = 0;
  std::vector<Move> moves;  // the current game's, in order
  std::int64_t lastUsed = 0;
};

// A move to store: the room as it is, the move's number and its seat's seq.
struct NewMove {
  const StoredRoom* room;
  std::size_t n;
  long long seq;
};

// The digest a token is kept and compared as (64 hexadecimal digits).
std::string tokenDigest(const std::string& token);

class Store {
 public:
  explicit Store(const std::string& path);  // throws SQLite::Exception

  void load(const std::function<void(StoredRoom&&)>& each);
  // These throw when the disk refuses; nothing of the change is kept then.
  void create(const StoredRoom& room);
  void start(const StoredRoom& room);  // the new game and seed; old moves go
  void remove(const std::string& code);
  // All the moves in one transaction; false, with none stored, when the disk refused.
  bool addMoves(const std::vector<NewMove>& moves);
  // The time of a room's last use; a failure is logged and waits for the next touch.
  void touch(const std::string& code, std::int64_t when);
  // A seat's link was opened for the first time; a failure is only logged.
  void markJoined(const std::string& code, int seat);

 private:
  void upgrade();
  SQLite::Database db_;
  SQLite::Statement insertMove_, updateSeat_, touch_;
};

}  // namespace server

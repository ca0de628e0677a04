// The rooms on disk: one SQLite file in write-ahead-log mode. A move is in
// the file before any page hears of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace server {

struct Move {
  std::uint8_t seat, col, row;
};

struct StoredRoom {
  std::string code;
  std::string settings;  // the room's settings as JSON
  int players = 2;
  std::array<std::string, 5> tokens;  // by seat 1..4; empty for no human seat
  std::array<long long, 5> lastSeq{};
  int game = 0;
  std::uint32_t seed = 0;
  std::vector<Move> moves;  // the current game's, in order
  std::int64_t lastUsed = 0;
};

class Store {
 public:
  explicit Store(const std::string& path);  // throws std::runtime_error
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  void load(const std::function<void(StoredRoom&&)>& each);
  void create(const StoredRoom& room);
  void start(const StoredRoom& room);  // the new game and seed; old moves go
  void touch(const std::string& code, std::int64_t when);
  void remove(const std::string& code);
  // Moves are added inside begin() .. commit(); false when the disk refused.
  bool begin();
  bool addMove(const StoredRoom& room, int n, long long seq);
  bool commit();
  void rollback();

 private:
  void exec(const char* sql);
  sqlite3_stmt* prepare(const char* sql);
  bool run(sqlite3_stmt* statement);
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insertMove_ = nullptr;
  sqlite3_stmt* updateSeat_ = nullptr;
  sqlite3_stmt* touch_ = nullptr;
};

}  // namespace server

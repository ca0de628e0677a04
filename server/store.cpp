#include "store.h"

#include <sqlite3.h>

#include <map>
#include <stdexcept>

namespace server {

namespace {
const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS rooms (code TEXT PRIMARY KEY, settings TEXT NOT NULL,
  players INTEGER NOT NULL, game INTEGER NOT NULL, seed INTEGER NOT NULL,
  last_used INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS seats (room TEXT NOT NULL, seat INTEGER NOT NULL,
  token TEXT NOT NULL, last_seq INTEGER NOT NULL, PRIMARY KEY (room, seat)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS moves (room TEXT NOT NULL, game INTEGER NOT NULL, n INTEGER NOT NULL,
  seat INTEGER NOT NULL, col INTEGER NOT NULL, row INTEGER NOT NULL,
  PRIMARY KEY (room, game, n)) WITHOUT ROWID;
)";

void bindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
std::string columnText(sqlite3_stmt* s, int i) {
  const unsigned char* text = sqlite3_column_text(s, i);
  return text ? reinterpret_cast<const char*>(text) : "";
}
}  // namespace

Store::Store(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    std::string why = sqlite3_errmsg(db_);
    sqlite3_close(db_);
    throw std::runtime_error("cannot open the database " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  exec("PRAGMA journal_mode=WAL");
  // In WAL mode NORMAL keeps every commit through a crash of the server;
  // only a crash of the whole machine may lose the last ones.
  exec("PRAGMA synchronous=NORMAL");
  // The hot pages of every busy room stay in memory rather than being read
  // again from the log for each commit.
  exec("PRAGMA cache_size=-16384");
  exec(kSchema);
  insertMove_ = prepare("INSERT INTO moves VALUES (?, ?, ?, ?, ?, ?)");
  updateSeat_ = prepare("UPDATE seats SET last_seq = ? WHERE room = ? AND seat = ?");
  touch_ = prepare("UPDATE rooms SET last_used = ? WHERE code = ?");
}

Store::~Store() {
  sqlite3_finalize(insertMove_);
  sqlite3_finalize(updateSeat_);
  sqlite3_finalize(touch_);
  sqlite3_close(db_);
}

void Store::exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string why = error ? error : "unknown";
    sqlite3_free(error);
    throw std::runtime_error("database: " + why);
  }
}

sqlite3_stmt* Store::prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("database: ") + sqlite3_errmsg(db_));
  return s;
}

bool Store::run(sqlite3_stmt* s) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
  return rc == SQLITE_DONE;
}

void Store::load(const std::function<void(StoredRoom&&)>& each) {
  std::map<std::string, StoredRoom> rooms;
  sqlite3_stmt* s = prepare("SELECT code, settings, players, game, seed, last_used FROM rooms");
  while (sqlite3_step(s) == SQLITE_ROW) {
    StoredRoom r;
    r.code = columnText(s, 0);
    r.settings = columnText(s, 1);
    r.players = sqlite3_column_int(s, 2);
    r.game = sqlite3_column_int(s, 3);
    r.seed = static_cast<std::uint32_t>(sqlite3_column_int64(s, 4));
    r.lastUsed = sqlite3_column_int64(s, 5);
    rooms[r.code] = std::move(r);
  }
  sqlite3_finalize(s);
  s = prepare("SELECT room, seat, token, last_seq FROM seats");
  while (sqlite3_step(s) == SQLITE_ROW) {
    auto it = rooms.find(columnText(s, 0));
    int seat = sqlite3_column_int(s, 1);
    if (it == rooms.end() || seat < 1 || seat > 4) continue;
    it->second.tokens[seat] = columnText(s, 2);
    it->second.lastSeq[seat] = sqlite3_column_int64(s, 3);
  }
  sqlite3_finalize(s);
  s = prepare(
      "SELECT m.room, m.seat, m.col, m.row FROM moves m JOIN rooms r ON m.room = r.code "
      "AND m.game = r.game ORDER BY m.room, m.n");
  while (sqlite3_step(s) == SQLITE_ROW) {
    auto it = rooms.find(columnText(s, 0));
    if (it == rooms.end()) continue;
    it->second.moves.push_back({static_cast<std::uint8_t>(sqlite3_column_int(s, 1)),
                                static_cast<std::uint8_t>(sqlite3_column_int(s, 2)),
                                static_cast<std::uint8_t>(sqlite3_column_int(s, 3))});
  }
  sqlite3_finalize(s);
  for (auto& [code, room] : rooms) each(std::move(room));
}

void Store::create(const StoredRoom& r) {
  exec("BEGIN");
  sqlite3_stmt* s = prepare("INSERT INTO rooms VALUES (?, ?, ?, ?, ?, ?)");
  bindText(s, 1, r.code);
  bindText(s, 2, r.settings);
  sqlite3_bind_int(s, 3, r.players);
  sqlite3_bind_int(s, 4, r.game);
  sqlite3_bind_int64(s, 5, r.seed);
  sqlite3_bind_int64(s, 6, r.lastUsed);
  bool ok = run(s);
  sqlite3_finalize(s);
  s = prepare("INSERT INTO seats VALUES (?, ?, ?, 0)");
  for (int seat = 1; seat <= 4 && ok; ++seat) {
    if (r.tokens[seat].empty()) continue;
    bindText(s, 1, r.code);
    sqlite3_bind_int(s, 2, seat);
    bindText(s, 3, r.tokens[seat]);
    ok = run(s);
  }
  sqlite3_finalize(s);
  if (!ok) {
    exec("ROLLBACK");
    throw std::runtime_error("database: cannot store a new room");
  }
  exec("COMMIT");
}

void Store::start(const StoredRoom& r) {
  exec("BEGIN");
  sqlite3_stmt* s = prepare("UPDATE rooms SET game = ?, seed = ?, last_used = ? WHERE code = ?");
  sqlite3_bind_int(s, 1, r.game);
  sqlite3_bind_int64(s, 2, r.seed);
  sqlite3_bind_int64(s, 3, r.lastUsed);
  bindText(s, 4, r.code);
  bool ok = run(s);
  sqlite3_finalize(s);
  s = prepare("DELETE FROM moves WHERE room = ? AND game < ?");
  bindText(s, 1, r.code);
  sqlite3_bind_int(s, 2, r.game);
  ok = ok && run(s);
  sqlite3_finalize(s);
  if (!ok) {
    exec("ROLLBACK");
    throw std::runtime_error("database: cannot start a game");
  }
  exec("COMMIT");
}

void Store::touch(const std::string& code, std::int64_t when) {
  sqlite3_bind_int64(touch_, 1, when);
  bindText(touch_, 2, code);
  run(touch_);
}

void Store::remove(const std::string& code) {
  exec("BEGIN");
  for (const char* sql : {"DELETE FROM moves WHERE room = ?", "DELETE FROM seats WHERE room = ?",
                          "DELETE FROM rooms WHERE code = ?"}) {
    sqlite3_stmt* s = prepare(sql);
    bindText(s, 1, code);
    run(s);
    sqlite3_finalize(s);
  }
  exec("COMMIT");
}

bool Store::begin() { return sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK; }
bool Store::commit() { return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK; }
void Store::rollback() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

bool Store::addMove(const StoredRoom& r, int n, long long seq) {
  const Move& m = r.moves[n - 1];
  bindText(insertMove_, 1, r.code);
  sqlite3_bind_int(insertMove_, 2, r.game);
  sqlite3_bind_int(insertMove_, 3, n);
  sqlite3_bind_int(insertMove_, 4, m.seat);
  sqlite3_bind_int(insertMove_, 5, m.col);
  sqlite3_bind_int(insertMove_, 6, m.row);
  if (!run(insertMove_)) return false;
  sqlite3_bind_int64(updateSeat_, 1, seq);
  bindText(updateSeat_, 2, r.code);
  sqlite3_bind_int(updateSeat_, 3, m.seat);
  if (!run(updateSeat_)) return false;
  sqlite3_bind_int64(touch_, 1, r.lastUsed);
  bindText(touch_, 2, r.code);
  return run(touch_);
}

}  // namespace server

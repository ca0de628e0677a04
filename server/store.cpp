#include "store.h"

#include <SQLiteCpp/Transaction.h>
#include <openssl/evp.h>

#include <map>
#include <stdexcept>

#include "log.h"

namespace server {

namespace {
// Version 1: seats keep the digest of their token, not the token.
// Version 2: seats know whether their link was ever opened.
constexpr int kVersion = 2;

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

// Runs a statement made for one use after another: the bindings go after it.
void run(SQLite::Statement& s) {
  s.exec();
  s.reset();
  s.clearBindings();
}
}  // namespace

std::string tokenDigest(const std::string& token) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(token.data(), token.size(), digest, &size, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("no SHA-256 from libcrypto");
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += digits[digest[i] >> 4];
    hex += digits[digest[i] & 15];
  }
  return hex;
}

namespace {
// The file with its settings and tables, before any statement is made on it.
SQLite::Database open(const std::string& path) {
  SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, 5000);
  db.exec("PRAGMA journal_mode=WAL");
  // In WAL mode NORMAL keeps every commit through a crash of the server;
  // only a crash of the whole machine may lose the last ones.
  db.exec("PRAGMA synchronous=NORMAL");
  // The hot pages of every busy room stay in memory rather than being read
  // again from the log for each commit.
  db.exec("PRAGMA cache_size=-16384");
  // What is deleted is overwritten, so that no old token lingers in the file.
  db.exec("PRAGMA secure_delete=ON");
  db.exec(kSchema);
  return db;
}
}  // namespace

Store::Store(const std::string& path)
    : db_(open(path)),
      insertMove_(db_, "INSERT INTO moves VALUES (?, ?, ?, ?, ?, ?)"),
      updateSeat_(db_, "UPDATE seats SET last_seq = ? WHERE room = ? AND seat = ?"),
      touch_(db_, "UPDATE rooms SET last_used = ? WHERE code = ?") {
  upgrade();
}

// A file of an earlier version kept the tokens themselves: each becomes its
// digest, then the file is rebuilt and its log emptied, so that no copy of a
// token is left in free pages or in the log. A seat that has moved was joined.
void Store::upgrade() {
  int version = db_.execAndGet("PRAGMA user_version").getInt();
  if (version >= kVersion) return;
  SQLite::Transaction transaction(db_);
  if (version < 1) {
    struct Seat {
      std::string room;
      int seat;
      std::string token;
    };
    std::vector<Seat> seats;
    SQLite::Statement read(db_, "SELECT room, seat, token FROM seats");
    while (read.executeStep())
      seats.push_back({read.getColumn(0).getString(), read.getColumn(1).getInt(),
                       read.getColumn(2).getString()});
    SQLite::Statement write(db_, "UPDATE seats SET token = ? WHERE room = ? AND seat = ?");
    for (const Seat& s : seats) {
      write.bind(1, tokenDigest(s.token));
      write.bind(2, s.room);
      write.bind(3, s.seat);
      run(write);
    }
  }
  db_.exec("ALTER TABLE seats ADD COLUMN joined INTEGER NOT NULL DEFAULT 0");
  db_.exec("UPDATE seats SET joined = 1 WHERE last_seq > 0");
  db_.exec("PRAGMA user_version=" + std::to_string(kVersion));
  transaction.commit();
  if (version >= 1) return;
  db_.exec("VACUUM");
  db_.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

void Store::load(const std::function<void(StoredRoom&&)>& each) {
  std::map<std::string, StoredRoom> rooms;
  SQLite::Statement s(db_, "SELECT code, settings, players, game, seed, last_used FROM rooms");
  while (s.executeStep()) {
    StoredRoom r;
    r.code = s.getColumn(0).getString();
    r.settings = s.getColumn(1).getString();
    r.players = s.getColumn(2).getInt();
    r.game = s.getColumn(3).getInt();
    r.seed = static_cast<std::uint32_t>(s.getColumn(4).getInt64());
    r.lastUsed = s.getColumn(5).getInt64();
    rooms[r.code] = std::move(r);
  }
  SQLite::Statement seats(db_, "SELECT room, seat, token, last_seq, joined FROM seats");
  while (seats.executeStep()) {
    auto it = rooms.find(seats.getColumn(0).getString());
    int seat = seats.getColumn(1).getInt();
    if (it == rooms.end() || seat < 1 || seat > 4) continue;
    it->second.tokens[seat] = seats.getColumn(2).getString();
    it->second.lastSeq[seat] = seats.getColumn(3).getInt64();
    it->second.joined[seat] = seats.getColumn(4).getInt() != 0;
  }
  SQLite::Statement moves(db_,
                          "SELECT m.room, m.seat, m.col, m.row FROM moves m JOIN rooms r ON "
                          "m.room = r.code AND m.game = r.game ORDER BY m.room, m.n");
  while (moves.executeStep()) {
    auto it = rooms.find(moves.getColumn(0).getString());
    if (it == rooms.end()) continue;
    it->second.moves.push_back({static_cast<std::uint8_t>(moves.getColumn(1).getInt()),
                                static_cast<std::uint8_t>(moves.getColumn(2).getInt()),
                                static_cast<std::uint8_t>(moves.getColumn(3).getInt())});
  }
  for (auto& [code, room] : rooms) each(std::move(room));
}

void Store::create(const StoredRoom& r) {
  SQLite::Transaction transaction(db_);
  SQLite::Statement room(db_, "INSERT INTO rooms VALUES (?, ?, ?, ?, ?, ?)");
  room.bind(1, r.code);
  room.bind(2, r.settings);
  room.bind(3, r.players);
  room.bind(4, r.game);
  room.bind(5, static_cast<std::int64_t>(r.seed));
  room.bind(6, static_cast<std::int64_t>(r.lastUsed));
  room.exec();
  SQLite::Statement seat(db_,
                         "INSERT INTO seats (room, seat, token, last_seq) VALUES (?, ?, ?, 0)");
  for (int n = 1; n <= 4; ++n) {
    if (r.tokens[n].empty()) continue;
    seat.bind(1, r.code);
    seat.bind(2, n);
    seat.bind(3, r.tokens[n]);
    run(seat);
  }
  transaction.commit();
}

void Store::start(const StoredRoom& r) {
  SQLite::Transaction transaction(db_);
  SQLite::Statement room(db_, "UPDATE rooms SET game = ?, seed = ?, last_used = ? WHERE code = ?");
  room.bind(1, r.game);
  room.bind(2, static_cast<std::int64_t>(r.seed));
  room.bind(3, static_cast<std::int64_t>(r.lastUsed));
  room.bind(4, r.code);
  room.exec();
  SQLite::Statement old(db_, "DELETE FROM moves WHERE room = ? AND game < ?");
  old.bind(1, r.code);
  old.bind(2, r.game);
  old.exec();
  transaction.commit();
}

void Store::remove(const std::string& code) {
  SQLite::Transaction transaction(db_);
  for (const char* sql : {"DELETE FROM moves WHERE room = ?", "DELETE FROM seats WHERE room = ?",
                          "DELETE FROM rooms WHERE code = ?"}) {
    SQLite::Statement s(db_, sql);
    s.bind(1, code);
    s.exec();
  }
  transaction.commit();
}

bool Store::addMoves(const std::vector<NewMove>& moves) {
  try {
    SQLite::Transaction transaction(db_);
    for (const NewMove& m : moves) {
      const StoredRoom& r = *m.room;
      const Move& move = r.moves[m.n - 1];
      insertMove_.bind(1, r.code);
      insertMove_.bind(2, r.game);
      insertMove_.bind(3, static_cast<std::int64_t>(m.n));
      insertMove_.bind(4, move.seat);
      insertMove_.bind(5, move.col);
      insertMove_.bind(6, move.row);
      run(insertMove_);
      updateSeat_.bind(1, static_cast<std::int64_t>(m.seq));
      updateSeat_.bind(2, r.code);
      updateSeat_.bind(3, move.seat);
      run(updateSeat_);
      touch_.bind(1, static_cast<std::int64_t>(r.lastUsed));
      touch_.bind(2, r.code);
      run(touch_);
    }
    transaction.commit();
    return true;
  } catch (const std::exception& e) {
    // A statement that threw is still bound: it starts afresh next time.
    for (SQLite::Statement* s : {&insertMove_, &updateSeat_, &touch_}) {
      s->tryReset();
      s->clearBindings();
    }
    failureLog().note("", "moves not stored: " + std::string(e.what()));
    return false;
  }
}

void Store::markJoined(const std::string& code, int seat) {
  try {
    SQLite::Statement s(db_, "UPDATE seats SET joined = 1 WHERE room = ? AND seat = ?");
    s.bind(1, code);
    s.bind(2, seat);
    s.exec();
  } catch (const std::exception& e) {
    failureLog().note("", "a seat's first join not stored: " + std::string(e.what()));
  }
}

void Store::touch(const std::string& code, std::int64_t when) {
  try {
    touch_.bind(1, static_cast<std::int64_t>(when));
    touch_.bind(2, code);
    run(touch_);
  } catch (const std::exception& e) {
    touch_.tryReset();
    touch_.clearBindings();
    failureLog().note("", "a room's last use not stored: " + std::string(e.what()));
  }
}

}  // namespace server

// The rooms with fake pages and a real database in a scratch folder: who may
// send what, what every page hears and in which order, what a failing disk
// leaves behind, and what the file keeps of a token.
#include "server/rooms.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "server/log.h"

namespace {

using nlohmann::json;

class Page : public server::Peer, public std::enable_shared_from_this<Page> {
 public:
  explicit Page(server::Rooms& rooms) : rooms_(rooms) {}
  void send(std::shared_ptr<const std::string> text) override {
    got.push_back(json::parse(*text));
    if (closeOnSend) rooms_.leave(*this);  // as a page whose queue overflowed
  }
  std::weak_ptr<server::Peer> self() override { return shared_from_this(); }
  void say(const json& m) { rooms_.handle(*this, m.dump()); }
  // What the page got of one type; it forgets everything it got.
  std::vector<json> take(const std::string& type) {
    std::vector<json> of;
    for (const json& m : got)
      if (m["type"] == type) of.push_back(m);
    got.clear();
    return of;
  }
  std::string lastError() const {
    for (auto m = got.rbegin(); m != got.rend(); ++m)
      if ((*m)["type"] == "error") return (*m)["message"];
    return "";
  }
  std::vector<json> got;
  bool closeOnSend = false;

 private:
  server::Rooms& rooms_;
};

json move(int seat, int col, int row, int seq, int game = 1) {
  return {{"type", "move"}, {"game", game}, {"seat", seat},
          {"col", col},     {"row", row},   {"seq", seq}};
}

class RoomsTest : public ::testing::Test {
 protected:
  RoomsTest() {
    char pattern[] = "/tmp/spindrel-rooms-XXXXXX";
    dir = mkdtemp(pattern);
    db = dir + "/rooms.db";
    open();
  }
  ~RoomsTest() override { std::system(("rm -rf " + dir).c_str()); }
  // Opens the database as a server starting up does.
  void open() {
    rooms.reset();
    store.reset();
    store = std::make_unique<server::Store>(db);
    rooms = std::make_unique<server::Rooms>(*store, [this](auto f) { posted.push_back(f); });
  }
  // What the rooms posted for later, run as the server's loop would.
  void runPosted() {
    for (size_t i = 0; i < posted.size(); ++i) std::exchange(posted[i], nullptr)();
    posted.clear();
  }
  std::shared_ptr<Page> page() { return pages.emplace_back(std::make_shared<Page>(*rooms)); }
  // A room of seats "h" human, "c" computer: its code and tokens.
  json create(int players, const std::string& kinds) {
    json seats = json::array();
    for (char k : kinds)
      seats.push_back(k == 'h' ? json{{"kind", "human"}}
                               : json{{"kind", "computer"}, {"strength", 2}});
    auto p = page();
    p->say({{"type", "create"}, {"players", players}, {"sense", "cw"}, {"seats", seats}});
    return p->take("created").at(0);
  }
  std::shared_ptr<Page> join(const json& room, std::vector<std::string> seats, int since = 0) {
    auto p = page();
    json tokens = json::array();
    for (const auto& s : seats) tokens.push_back(room["tokens"][s]);
    p->say({{"type", "join"}, {"room", room["room"]}, {"tokens", tokens}, {"since", since}});
    return p;
  }

  std::string dir, db;
  std::unique_ptr<server::Store> store;
  std::unique_ptr<server::Rooms> rooms;
  std::vector<std::function<void()>> posted;
  std::vector<std::shared_ptr<Page>> pages;
};

}  // namespace

// Four seats and three watchers; a watcher and then a seat close while moves
// go out. Every page that stays hears each move once, in order, and the
// seat's leaving after the move that was on its way.
TEST_F(RoomsTest, APageClosedDuringABroadcastCostsNoOtherPageAMessage) {
  json room = create(4, "hhhh");
  std::vector<std::shared_ptr<Page>> seat{nullptr};
  for (const char* s : {"1", "2", "3", "4"}) seat.push_back(join(room, {s}));
  auto w1 = join(room, {}), w2 = join(room, {}), w3 = join(room, {});
  seat[1]->say({{"type", "start"}, {"game", 1}});
  for (const auto& p : pages) p->got.clear();
  w1->closeOnSend = true;
  seat[1]->say(move(1, 0, 0, 1));
  runPosted();
  seat[2]->closeOnSend = true;
  seat[2]->say(move(2, 1, 1, 1));
  seat[3]->say(move(3, 2, 2, 1));
  runPosted();
  for (const auto& p : {seat[1], seat[3], seat[4], w2, w3}) {
    std::vector<std::string> heard;
    for (const json& m : p->got)
      heard.push_back(m["type"] == "move" ? "move " + m["n"].dump() : m.dump());
    EXPECT_EQ(heard,
              (std::vector<std::string>{
                  "move 1", "move 2",
                  "{\"joined\":[1,2,3,4],\"present\":[1,3,4],\"type\":\"presence\"}", "move 3"}));
  }
  EXPECT_EQ(w1->got.size(), 1u);  // the move that closed it, and nothing after
  EXPECT_EQ(seat[2]->got.size(), 2u);
}

// Every rule, just past its limit and at it: a refusal changes nothing.
TEST_F(RoomsTest, EachRuleRefusesJustPastItsLimit) {
  json far = create(2, "hchh");  // seats 3 and 4 lie beyond the two players
  EXPECT_EQ(far["tokens"].size(), 1u);
  json room = create(2, "hhcc");
  auto blue = join(room, {"1"}), watcher = join(room, {}), other = join(far, {"1"});
  json h{{"kind", "human"}}, c1{{"kind", "computer"}, {"strength", 1}};
  auto creating = [](int players, json a, json b, json c = {{"kind", "human"}},
                     json sense = "ccw") {
    return json{
        {"type", "create"}, {"players", players}, {"sense", sense}, {"seats", {a, b, c, c}}};
  };
  auto joining = [&](json tokens, json since = 0) {
    return json{{"type", "join"}, {"room", room["room"]}, {"tokens", tokens}, {"since", since}};
  };
  auto start = [](int game) { return json{{"type", "start"}, {"game", game}}; };
  std::shared_ptr<Page> red;
  struct Row {
    std::shared_ptr<Page>* from;
    json message;
    std::string answer;  // the type of the answer, or the refusal's words
  } rows[] = {
      {&blue, creating(3, h, h), "\"players\" must be 2 or 4"},
      {&blue, creating(5, h, h), "\"players\" must be 2 or 4"},
      {&blue, creating(4, c1, c1), "created"},
      {&blue, creating(2, c1, {{"kind", "computer"}}), "needs a \"strength\""},
      {&blue, creating(2, h, {{"kind", "computer"}, {"strength", 3}}),
       "\"strength\" must be 1 or 2"},
      {&blue, creating(2, c1, c1), "at least one human"},
      {&blue, creating(2, h, h, h, "up"), "\"sense\""},
      {&blue,
       {{"type", "create"}, {"players", 2}, {"sense", "cw"}, {"seats", {h, h, h}}},
       "four seats"},
      {&blue, joining({""}), "not one of this room's seats"},
      {&blue, joining({far["tokens"]["1"]}), "not one of this room's seats"},
      {&blue, joining({room["tokens"]["1"]}, -1), "\"since\""},
      {&blue, joining("x"), "\"tokens\""},
      {&blue,
       {{"type", "join"}, {"room", std::string(32, 'f')}, {"tokens", json::array()}, {"since", 0}},
       "no room with that code"},
      {&watcher, start(1), "only a page that holds a seat"},
      {&blue, start(0), "\"game\""},
      {&blue, start(2), "game 2 is not the next"},
      {&blue, start(1), "seat 2 has no page yet"},
      {&blue, move(1, 0, 0, 1), "game 1 is not the room's current game"},
      {&red, joining({room["tokens"]["2"]}), "joined"},
      {&blue, start(1), "started"},
      {&blue, move(1, 23, 23, 1), "move"},
      {&blue, move(1, 24, 0, 2), "\"col\" and \"row\" must be 0 to 23"},
      {&blue, move(1, 0, -1, 2), "\"col\" and \"row\" must be 0 to 23"},
      {&blue, move(0, 0, 0, 2), "\"seat\" must be 1 to 4"},
      {&blue, move(5, 0, 0, 2), "\"seat\" must be 1 to 4"},
      {&blue, move(2, 0, 0, 2), "does not hold seat 2"},
      {&blue, move(3, 0, 0, 2), "does not hold seat 3"},
      {&other, move(1, 0, 0, 2), "game 1 is not the room's current game"},
      {&blue, move(1, 0, 0, 1), "seq 1 of seat 1 was already taken"},
      {&blue, move(1, 0, 0, 0), "\"seq\""},
      {&blue, move(1, 0, 0, 3, 2), "game 2 is not the room's current game"},
      {&blue, move(1, 0, 0, 3), "move"},
      {&blue, start(1), "game 1 has already started"},
      {&blue, {{"type", "dance"}}, "unknown message type \"dance\""},
  };
  for (const Row& row : rows) {
    if (!*row.from) *row.from = page();
    Page& from = **row.from;
    from.got.clear();
    from.say(row.message);
    runPosted();
    if (row.answer.find_first_not_of("acdeijmnorstv") == std::string::npos)
      EXPECT_EQ(from.take(row.answer).size(), 1u) << row.message;
    else
      EXPECT_NE(from.lastError().find(row.answer), std::string::npos)
          << row.message << ": " << from.lastError();
  }
  auto heard = red->take("move");  // only the two moves taken, numbered 1 and 2
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1],
            (json{{"type", "move"}, {"game", 1}, {"n", 2}, {"seat", 1}, {"col", 0}, {"row", 0}}));
  // A seat link opened on a second page takes the seat; the first is told.
  auto again = join(room, {"1"});
  EXPECT_NE(blue->lastError().find("seat 1 was taken by another page"), std::string::npos);
  blue->say(move(1, 0, 0, 4));
  EXPECT_NE(blue->lastError().find("does not hold seat 1"), std::string::npos);
  auto joined = again->take("joined").at(0);
  EXPECT_EQ(joined["present"], json::array({1, 2}));
  EXPECT_EQ(joined["joined"], json::array({1, 2}));
  EXPECT_EQ(joined["lastSeq"], (json{{"1", 3}}));
}

// The disk refuses a move, then a sweep: nothing changes in memory or on
// disk, the rooms go on, and they come back as they were after a restart.
TEST_F(RoomsTest, AFailingDiskChangesNothingAndStopsNothing) {
  json room = create(2, "hhcc"), idle = create(2, "hhcc");
  auto blue = join(room, {"1"}), red = join(room, {"2"});
  blue->say({{"type", "start"}, {"game", 1}});
  blue->say(move(1, 3, 4, 1));
  runPosted();
  SQLite::Database other(db, SQLite::OPEN_READWRITE);
  other.exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON moves BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  red->got.clear();
  blue->say(move(1, 5, 5, 2));
  runPosted();
  EXPECT_NE(blue->lastError().find("could not store the move"), std::string::npos);
  EXPECT_TRUE(red->take("move").empty());
  other.exec("DROP TRIGGER refuse");
  blue->say(move(1, 6, 6, 2));  // the refused move's seq is free again
  runPosted();
  auto heard = red->take("move");
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0]["n"], 2);
  rooms->removeIdle(-1);  // the room with pages stays, the idle one goes
  EXPECT_EQ(rooms->size(), 1u);
  EXPECT_NE(join(idle, {})->lastError().find("no room with that code"), std::string::npos);

  open();  // a restart: the page that has move 1 gets only move 2
  auto back = join(room, {"1"}, 1);
  EXPECT_EQ(back->got.at(0)["lastSeq"], (json{{"1", 2}}));
  EXPECT_EQ(back->got.at(0)["joined"], json::array({1, 2}));  // red is away, not new
  EXPECT_EQ(back->take("move").at(0),
            (json{{"type", "move"}, {"game", 1}, {"n", 2}, {"seat", 1}, {"col", 6}, {"row", 6}}));
  rooms->leave(*back);
  other.exec(
      "CREATE TRIGGER keep BEFORE DELETE ON rooms BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  rooms->removeIdle(-1);  // a removal the disk refuses leaves the room whole
  EXPECT_EQ(join(room, {})->take("move").size(), 2u);
  rooms->leave(*pages.back());
  other.exec("DROP TRIGGER keep");
  rooms->removeIdle(-1);
  open();
  EXPECT_EQ(rooms->size(), 0u);
}

// A copy of the database gives no seat away, from a new file or from one of
// the earlier version, which kept the tokens themselves.
TEST_F(RoomsTest, NoTokenIsKeptOnDisk) {
  const std::string token = "aaaabbbbccccddddeeeeffff00001111";
  db = dir + "/old.db";
  SQLite::Database(db, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE)
      .exec(R"(PRAGMA journal_mode=WAL;
    CREATE TABLE rooms (code TEXT PRIMARY KEY, settings TEXT NOT NULL, players INTEGER NOT NULL,
      game INTEGER NOT NULL, seed INTEGER NOT NULL, last_used INTEGER NOT NULL);
    CREATE TABLE seats (room TEXT NOT NULL, seat INTEGER NOT NULL, token TEXT NOT NULL,
      last_seq INTEGER NOT NULL, PRIMARY KEY (room, seat)) WITHOUT ROWID;
    INSERT INTO rooms VALUES ('c0de', '{}', 2, 1, 7, 0);
    INSERT INTO seats VALUES ('c0de', 2, 'b0b0', 3);
    INSERT INTO seats VALUES ('c0de', 1, ')" +
            token + "', 4);");
  open();
  auto back = join({{"room", "c0de"}, {"tokens", {{"1", token}}}}, {"1"});
  EXPECT_EQ(back->got.at(0)["lastSeq"], (json{{"1", 4}})) << back->lastError();
  EXPECT_EQ(back->got.at(0)["joined"], json::array({1, 2}));  // red had moved
  json room = create(4, "hhhh");
  join(room, {"1"});
  std::ifstream file(db, std::ios::binary), log(db + "-wal", std::ios::binary);
  std::string onDisk{std::istreambuf_iterator<char>(file), {}};
  onDisk.append(std::istreambuf_iterator<char>(log), {});
  EXPECT_NE(onDisk.find(room["room"].get<std::string>()), std::string::npos);  // the file is read
  EXPECT_EQ(onDisk.find(token), std::string::npos);
  for (const auto& [seat, t] : room["tokens"].items())
    EXPECT_EQ(onDisk.find(t.get<std::string>()), std::string::npos) << seat;
}

// A flood of failures writes a few lines a second and counts the rest; a
// line names a network, never an address, and nothing a page sent breaks it.
TEST(FailureLog, AFloodWritesAFewLinesASecondAndCountsTheRest) {
  std::vector<std::string> lines;
  server::FailureLog log([&](const std::string& line) { lines.push_back(line); }, 3);
  auto t = server::FailureLog::Clock::time_point{} + std::chrono::hours(1);
  for (int i = 0; i < 10; ++i)
    log.note("192.0.2.0/24", "bad\nline", t + std::chrono::milliseconds(i));
  log.note("192.0.2.0/24", "later", t + std::chrono::seconds(1));
  std::string bad = "failure from 192.0.2.0/24: bad?line";
  EXPECT_EQ(lines, (std::vector<std::string>{
                       bad, bad, bad, "failure from 192.0.2.0/24: later (and 7 more not logged)"}));
  using boost::asio::ip::make_address;
  EXPECT_EQ(server::network(make_address("203.0.113.77")), "203.0.113.0/24");
  EXPECT_EQ(server::network(make_address("2001:db8:1:2:3:4:5:6")), "2001:db8:1:2::/64");
  EXPECT_EQ(server::network(make_address("::ffff:198.51.100.9")), "198.51.100.0/24");
}

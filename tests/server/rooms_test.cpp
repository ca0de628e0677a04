// The rooms with fake pages and a real database in a scratch folder: who may
// send what, what every page hears and in which order, and what a failing
// disk leaves behind.
#include "server/rooms.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "server/log.h"

namespace {

using nlohmann::json;
using server::Rooms;

class Page : public server::Peer, public std::enable_shared_from_this<Page> {
 public:
  explicit Page(Rooms& rooms) : rooms_(rooms) {}
  void send(std::shared_ptr<const std::string> text) override {
    got.push_back(json::parse(*text));
    // A page whose queue overflows closes in the middle of the send.
    if (closeOnSend) rooms_.leave(*this);
  }
  std::weak_ptr<server::Peer> self() override { return shared_from_this(); }
  void say(const json& m) { rooms_.handle(*this, m.dump()); }
  // The messages of one type this page got, and forgets everything it got.
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
  Rooms& rooms_;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class RoomsTest : public ::testing::Test {
 protected:
  RoomsTest() {
    char pattern[] = "/tmp/spindrel-rooms-XXXXXX";
    dir = mkdtemp(pattern);
    db = dir + "/rooms.db";
  }
  ~RoomsTest() override {
    rooms.reset();
    store.reset();
    std::system(("rm -rf " + dir).c_str());
  }
  void open() {
    rooms.reset();
    store.reset();
    store = std::make_unique<server::Store>(db);
    rooms =
        std::make_unique<Rooms>(*store, [this](std::function<void()> f) { posted.push_back(f); });
  }
  // Runs what the rooms posted for later, as the server's loop would.
  void runPosted() {
    while (!posted.empty()) {
      auto f = posted.front();
      posted.erase(posted.begin());
      f();
    }
  }
  std::shared_ptr<Page> page() {
    pages.push_back(std::make_shared<Page>(*rooms));
    return pages.back();
  }
  // A room of the given seats (h: human, c: computer); its code and tokens.
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
  static json move(int seat, int col, int row, int seq, int game = 1) {
    return {{"type", "move"}, {"game", game}, {"seat", seat},
            {"col", col},     {"row", row},   {"seq", seq}};
  }

  std::string dir, db;
  std::unique_ptr<server::Store> store;
  std::unique_ptr<Rooms> rooms;
  std::vector<std::function<void()>> posted;
  std::vector<std::shared_ptr<Page>> pages;
};

// Four seats and three watchers; pages close themselves while a move and a
// presence go out. Every page that stays hears each move once, in order, and
// a seat's leaving after the move that was on its way.
TEST_F(RoomsTest, APageClosedDuringABroadcastCostsNoOtherPageAMessage) {
  open();
  json room = create(4, "hhhh");
  std::vector<std::shared_ptr<Page>> seat{nullptr};
  for (const char* s : {"1", "2", "3", "4"}) seat.push_back(join(room, {s}));
  auto w1 = join(room, {}), w2 = join(room, {}), w3 = join(room, {});
  seat[1]->say({{"type", "start"}, {"game", 1}});
  for (const auto& p : pages) p->got.clear();

  w1->closeOnSend = true;  // the first watcher, in the middle of the list
  seat[1]->say(move(1, 0, 0, 1));
  runPosted();
  seat[2]->closeOnSend = true;  // a seat: its leaving changes the presence
  seat[2]->say(move(2, 1, 1, 1));
  seat[3]->say(move(3, 2, 2, 1));
  runPosted();
  for (const auto& p : {seat[1], seat[3], seat[4], w2, w3}) {
    std::vector<std::string> heard;
    for (const json& m : p->got)
      heard.push_back(m["type"] == "move" ? "move " + m["n"].dump() : m.dump());
    EXPECT_EQ(heard,
              (std::vector<std::string>{"move 1", "move 2",
                                        R"({"present":[1,3,4],"type":"presence"})", "move 3"}));
  }
  EXPECT_EQ(w1->got.size(), 1u);  // the move that closed it, and nothing after
  EXPECT_EQ(seat[2]->got.size(), 2u);
  // The seat is free again: its link opened on another page plays on.
  auto back = join(room, {"2"});
  EXPECT_EQ(back->take("joined").at(0)["lastSeq"], (json{{"2", 1}}));
}

// Every refusal of a message, beside the nearest message that is taken.
TEST_F(RoomsTest, EachRuleRefusesJustPastItsLimit) {
  open();
  json room = create(2, "hchh");  // seats 3 and 4 are beyond the two players
  EXPECT_TRUE(room["tokens"].contains("1") && room["tokens"].size() == 1u);
  json two = create(2, "hhcc");
  auto blue = join(two, {"1"});
  auto watcher = join(two, {});
  auto other = join(room, {"1"});
  blue->got.clear();
  const json humans = json::array(
      {{{"kind", "human"}}, {{"kind", "human"}}, {{"kind", "human"}}, {{"kind", "human"}}});
  const json computers = json::array({{{"kind", "computer"}, {"strength", 1}},
                                      {{"kind", "computer"}, {"strength", 1}},
                                      {{"kind", "computer"}, {"strength", 1}},
                                      {{"kind", "computer"}, {"strength", 1}}});
  json noStrength = humans;
  noStrength[1] = {{"kind", "computer"}};
  json strength3 = computers;
  strength3[0] = {{"kind", "human"}};
  strength3[1]["strength"] = 3;
  json onlyLaterHumans = computers;
  onlyLaterHumans[2] = {{"kind", "human"}};
  struct Case {
    std::shared_ptr<Page> from;
    json message;
    std::string refusal;  // empty: taken
    std::string answer;   // the type of the answer when taken
  };
  auto c = [](json m) { return m; };
  auto creating = [](int players, json seats) {
    return json{{"type", "create"}, {"players", players}, {"sense", "ccw"}, {"seats", seats}};
  };
  auto joinWith = [&](json tokens, json since = 0) {
    return json{{"type", "join"}, {"room", two["room"]}, {"tokens", tokens}, {"since", since}};
  };
  std::vector<Case> cases{
      {blue, creating(3, humans), "\"players\" must be 2 or 4", ""},
      {blue, creating(5, humans), "\"players\" must be 2 or 4", ""},
      {blue, creating(4, humans), "", "created"},
      {blue, c({{"type", "create"}, {"players", 2}, {"sense", "up"}, {"seats", humans}}),
       "\"sense\"", ""},
      {blue, creating(2, json::array({humans[0], humans[1], humans[2]})), "four seats", ""},
      {blue, creating(2, noStrength), "needs a \"strength\"", ""},
      {blue, creating(2, strength3), "\"strength\" must be 1 or 2", ""},
      {blue, creating(2, onlyLaterHumans), "at least one human", ""},
      {blue, joinWith(json::array({""})), "not one of this room's seats", ""},
      {blue, joinWith(json::array({room["tokens"]["1"]})), "not one of this room's seats", ""},
      {blue, joinWith(json::array({two["tokens"]["1"]}), -1), "\"since\"", ""},
      {blue, joinWith("x"), "\"tokens\"", ""},
      {blue,
       c({{"type", "join"},
          {"room", std::string(32, 'f')},
          {"tokens", json::array()},
          {"since", 0}}),
       "no room with that code", ""},
      {watcher, c({{"type", "start"}, {"game", 1}}), "only a page that holds a seat", ""},
      {blue, c({{"type", "start"}, {"game", 2}}), "is not the next", ""},
      {blue, c({{"type", "start"}, {"game", 0}}), "\"game\"", ""},
      {blue, c({{"type", "start"}, {"game", 1}}), "seat 2 has no page yet", ""},
      {blue, move(1, 0, 0, 1), "not the room's current game", ""},
  };
  auto red = [&] { return join(two, {"2"}); };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Case& k = cases[i];
    k.from->got.clear();
    k.from->say(k.message);
    runPosted();
    if (k.refusal.empty())
      EXPECT_EQ(k.from->take(k.answer).size(), 1u) << i;
    else
      EXPECT_NE(k.from->lastError().find(k.refusal), std::string::npos)
          << i << ": " << k.from->lastError();
  }
  auto r = red();
  blue->say({{"type", "start"}, {"game", 1}});
  ASSERT_EQ(r->take("started").size(), 1u);
  std::vector<Case> moves{
      {blue, move(1, 23, 23, 1), "", "move"},
      {blue, move(1, 24, 0, 2), "\"col\" and \"row\" must be 0 to 23", ""},
      {blue, move(1, 0, -1, 2), "\"col\" and \"row\" must be 0 to 23", ""},
      {blue, move(0, 0, 0, 2), "\"seat\" must be 1 to 4", ""},
      {blue, move(5, 0, 0, 2), "\"seat\" must be 1 to 4", ""},
      {blue, move(2, 0, 0, 2), "does not hold seat 2", ""},
      {blue, move(3, 0, 0, 2), "does not hold seat 3", ""},
      {other, move(1, 0, 0, 2), "not the room's current game", ""},
      {blue, move(1, 0, 0, 1), "seq 1 of seat 1 was already taken", ""},
      {blue, move(1, 0, 0, 0), "\"seq\"", ""},
      {blue, move(1, 0, 0, 3, 2), "not the room's current game", ""},
      {blue, move(1, 0, 0, 3), "", "move"},
      {blue, c({{"type", "start"}, {"game", 1}}), "has already started", ""},
      {blue, c({{"type", "dance"}}), "unknown message type \"dance\"", ""},
  };
  for (std::size_t i = 0; i < moves.size(); ++i) {
    Case& k = moves[i];
    k.from->got.clear();
    k.from->say(k.message);
    runPosted();
    if (k.refusal.empty())
      EXPECT_EQ(k.from->take(k.answer).size(), 1u) << i;
    else
      EXPECT_NE(k.from->lastError().find(k.refusal), std::string::npos)
          << i << ": " << k.from->lastError();
  }
  // Only the two moves taken reached the other pages, numbered 1 and 2.
  auto heard = r->take("move");
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1],
            (json{{"type", "move"}, {"game", 1}, {"n", 2}, {"seat", 1}, {"col", 0}, {"row", 0}}));
  // A seat link opened on a second page takes the seat; the first is told.
  auto blue2 = join(two, {"1"});
  EXPECT_NE(blue->lastError().find("seat 1 was taken by another page"), std::string::npos);
  blue->say(move(1, 0, 0, 4));
  EXPECT_NE(blue->lastError().find("does not hold seat 1"), std::string::npos);
  auto joined = blue2->take("joined").at(0);
  EXPECT_EQ(joined["present"], json::array({1, 2}));
  EXPECT_EQ(joined["lastSeq"], (json{{"1", 3}}));
}

// The disk refuses a move, then a sweep: nothing changes in memory or on
// disk, the rooms go on, and the server keeps running.
TEST_F(RoomsTest, AFailingDiskChangesNothingAndStopsNothing) {
  open();
  json room = create(2, "hhcc");
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

  // An idle room whose removal the disk refuses stays whole, for the next sweep.
  for (const auto& p : pages) rooms->leave(*p);
  other.exec(
      "CREATE TRIGGER keep BEFORE DELETE ON rooms BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  rooms->removeIdle(-1);
  EXPECT_EQ(rooms->size(), 1u);
  auto watcher = join(room, {});
  EXPECT_EQ(watcher->take("move").size(), 2u);  // its moves survived the refused removal
  rooms->leave(*watcher);
  other.exec("DROP TRIGGER keep");
  rooms->removeIdle(-1);
  EXPECT_EQ(rooms->size(), 0u);
  open();  // and on disk
  EXPECT_EQ(rooms->size(), 0u);
}

// Rooms kept and removed by the sweep, and restored from disk as they were.
TEST_F(RoomsTest, RoomsOutliveTheServerAndIdleOnesGo) {
  open();
  json busy = create(2, "hhcc"), idle = create(2, "hhcc");
  auto blue = join(busy, {"1"}), red = join(busy, {"2"});
  blue->say({{"type", "start"}, {"game", 1}});
  for (int i = 1; i <= 3; ++i) blue->say(move(1, i, i, i));
  runPosted();
  rooms->removeIdle(-1);  // the busy room has pages: it stays
  EXPECT_EQ(rooms->size(), 1u);
  rooms->removeIdle(1000);
  EXPECT_EQ(rooms->size(), 1u);
  open();
  auto again = join(busy, {"1"}, 1);
  auto joined = again->take("joined");
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0]["lastSeq"], (json{{"1", 3}}));
  again = join(busy, {}, 1);
  auto moves = again->take("move");
  ASSERT_EQ(moves.size(), 2u);  // the moves after the one it had
  EXPECT_EQ(moves[0]["n"], 2);
  auto gone = join(idle, {});
  EXPECT_NE(gone->lastError().find("no room with that code"), std::string::npos);
}

// A copy of the database gives no seat away, from a new file or an old one
// that kept the tokens themselves.
TEST_F(RoomsTest, NoTokenIsKeptOnDisk) {
  {
    SQLite::Database old(db, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    old.exec("PRAGMA journal_mode=WAL");
    old.exec(
        "CREATE TABLE rooms (code TEXT PRIMARY KEY, settings TEXT NOT NULL, players INTEGER NOT "
        "NULL,"
        " game INTEGER NOT NULL, seed INTEGER NOT NULL, last_used INTEGER NOT NULL);"
        "CREATE TABLE seats (room TEXT NOT NULL, seat INTEGER NOT NULL, token TEXT NOT NULL,"
        " last_seq INTEGER NOT NULL, PRIMARY KEY (room, seat)) WITHOUT ROWID;"
        "CREATE TABLE moves (room TEXT NOT NULL, game INTEGER NOT NULL, n INTEGER NOT NULL,"
        " seat INTEGER NOT NULL, col INTEGER NOT NULL, row INTEGER NOT NULL,"
        " PRIMARY KEY (room, game, n)) WITHOUT ROWID;"
        "INSERT INTO rooms VALUES ('c0de', '{\"players\":2,\"sense\":\"ccw\",\"seats\":[]}', 2, 1, "
        "7, 0);"
        "INSERT INTO seats VALUES ('c0de', 1, 'aaaabbbbccccddddeeeeffff00001111', 4);"
        "INSERT INTO moves VALUES ('c0de', 1, 1, 1, 2, 3);");
  }
  open();
  json old{{"room", "c0de"}, {"tokens", {{"1", "aaaabbbbccccddddeeeeffff00001111"}}}};
  auto back = join(old, {"1"});
  auto joined = back->take("joined");
  ASSERT_EQ(joined.size(), 1u) << back->lastError();
  EXPECT_EQ(joined[0]["seats"], json::array({1}));
  EXPECT_EQ(joined[0]["lastSeq"], (json{{"1", 4}}));
  json room = create(4, "hhhh");
  auto blue = join(room, {"1"});
  blue->say({{"type", "start"}, {"game", 1}});
  blue->say(move(1, 1, 1, 1));
  runPosted();
  std::string onDisk = readFile(db) + readFile(db + "-wal");
  EXPECT_EQ(onDisk.find("aaaabbbbccccddddeeeeffff00001111"), std::string::npos);
  for (const auto& [seat, token] : room["tokens"].items())
    EXPECT_EQ(onDisk.find(token.get<std::string>()), std::string::npos) << seat;
  EXPECT_NE(onDisk.find(room["room"].get<std::string>()), std::string::npos);  // the file is read
}

}  // namespace

namespace {

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

}  // namespace

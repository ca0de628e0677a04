#include "rooms.h"

#include <sys/random.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace server {

using nlohmann::json;

namespace {

void osRandom(unsigned char* out, std::size_t size) {
  while (size > 0) {
    ssize_t got = getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random numbers from the operating system");
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
}

// 128 random bits as 32 hexadecimal digits.
std::string randomHex() {
  unsigned char bytes[16];
  osRandom(bytes, sizeof bytes);
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// An integer field within [low, high], or false.
bool intField(const json& m, const char* key, long long low, long long high, long long& out) {
  auto it = m.find(key);
  if (it == m.end() || !it->is_number_integer()) return false;
  out = it->get<long long>();
  return out >= low && out <= high;
}

std::shared_ptr<const std::string> text(const json& m) {
  return std::make_shared<const std::string>(m.dump());
}

void fail(Peer& peer, const std::string& message) { peer.send(errorText(message)); }

}  // namespace

std::shared_ptr<const std::string> errorText(const std::string& message) {
  return text(json{{"type", "error"}, {"message", message}});
}

Rooms::Rooms(Store& store, std::function<void(std::function<void()>)> post, std::string codePrefix)
    : store_(store), post_(std::move(post)), codePrefix_(std::move(codePrefix)) {
  store_.load([this](StoredRoom&& stored) {
    auto room = std::make_unique<Room>();
    room->stored = std::move(stored);
    room->committed = room->stored.moves.size();
    std::string code = room->stored.code;
    rooms_[code] = std::move(room);
  });
}

void Rooms::handle(Peer& peer, const std::string& input) {
  json m = json::parse(input, nullptr, false);
  if (m.is_discarded()) return fail(peer, "the message is not valid JSON");
  if (!m.is_object()) return fail(peer, "the message is not a JSON object");
  auto type = m.find("type");
  if (type == m.end() || !type->is_string())
    return fail(peer, "the message has no \"type\" string");
  const std::string& t = type->get_ref<const std::string&>();
  if (t == "move") return move(peer, m);
  // Anything but a move waits until the moves before it are stored and sent.
  flush();
  if (t == "create") return create(peer, m);
  if (t == "join") return join(peer, m);
  if (t == "start") return start(peer, m);
  fail(peer, "unknown message type \"" + t.substr(0, 40) + "\"");
}

void Rooms::create(Peer& peer, const json& m) {
  long long players;
  if (!intField(m, "players", 2, 4, players) || players == 3)
    return fail(peer, "create: \"players\" must be 2 or 4");
  auto sense = m.find("sense");
  if (sense == m.end() || !sense->is_string() || (*sense != "ccw" && *sense != "cw"))
    return fail(peer, "create: \"sense\" must be \"ccw\" or \"cw\"");
  auto seats = m.find("seats");
  if (seats == m.end() || !seats->is_array() || seats->size() != 4)
    return fail(peer, "create: \"seats\" must be a list of four seats");
  json settings{{"players", players}, {"sense", *sense}, {"seats", json::array()}};
  StoredRoom r;
  r.code = codePrefix_ + randomHex();
  r.players = static_cast<int>(players);
  json tokens = json::object();
  for (int seat = 1; seat <= 4; ++seat) {
    const json& s = (*seats)[seat - 1];
    std::string which = "create: seat " + std::to_string(seat);
    if (!s.is_object()) return fail(peer, which + " is not an object");
    auto kind = s.find("kind");
    if (kind == s.end() || !kind->is_string() || (*kind != "human" && *kind != "computer"))
      return fail(peer, which + ": \"kind\" must be \"human\" or \"computer\"");
    long long strength = 1;
    if (s.contains("strength") && !intField(s, "strength", 1, 2, strength))
      return fail(peer, which + ": \"strength\" must be 1 or 2");
    if (*kind == "computer" && !s.contains("strength"))
      return fail(peer, which + ": a computer seat needs a \"strength\"");
    settings["seats"].push_back({{"kind", *kind}, {"strength", strength}});
    if (*kind == "human" && seat <= players) {
      r.tokens[seat] = randomHex();
      tokens[std::to_string(seat)] = r.tokens[seat];
    }
  }
  if (tokens.empty()) return fail(peer, "create: the game needs at least one human seat");
  r.settings = settings.dump();
  r.lastUsed = now();
  try {
    store_.create(r);
  } catch (const std::exception&) {
    return fail(peer, "create: the server could not store the room; try again later");
  }
  auto room = std::make_unique<Room>();
  room->stored = std::move(r);
  std::string code = room->stored.code;
  rooms_[code] = std::move(room);
  peer.send(text(json{{"type", "created"}, {"room", code}, {"tokens", tokens}}));
}

void Rooms::join(Peer& peer, const json& m) {
  auto code = m.find("room");
  if (code == m.end() || !code->is_string()) return fail(peer, "join: \"room\" must be a string");
  auto tokens = m.find("tokens");
  if (tokens == m.end() || !tokens->is_array())
    return fail(peer, "join: \"tokens\" must be a list of strings");
  long long since;
  if (!intField(m, "since", 0, 1LL << 40, since))
    return fail(peer, "join: \"since\" must be a whole number from 0");
  auto it = rooms_.find(code->get<std::string>());
  if (it == rooms_.end()) return fail(peer, "join: there is no room with that code");
  Room& room = *it->second;
  std::vector<int> seats;
  for (const json& token : *tokens) {
    if (!token.is_string()) return fail(peer, "join: \"tokens\" must be a list of strings");
    int found = 0;
    for (int seat = 1; seat <= 4; ++seat)
      if (!room.stored.tokens[seat].empty() && room.stored.tokens[seat] == token) found = seat;
    if (found == 0) return fail(peer, "join: a token is not one of this room's seats");
    if (std::find(seats.begin(), seats.end(), found) == seats.end()) seats.push_back(found);
  }
  std::sort(seats.begin(), seats.end());
  leave(peer);
  // A seat link opened again takes the seat from the page that had it.
  for (int seat : seats) {
    Peer* old = room.holder[seat];
    if (old != nullptr) {
      old->seats.erase(std::remove(old->seats.begin(), old->seats.end(), seat), old->seats.end());
      fail(*old, "seat " + std::to_string(seat) + " was taken by another page with its link");
    }
    room.holder[seat] = &peer;
  }
  peer.room = &room;
  peer.seats = seats;
  room.pages.push_back(&peer);
  room.stored.lastUsed = now();
  store_.touch(room.stored.code, room.stored.lastUsed);
  json lastSeq = json::object();
  for (int seat : seats) lastSeq[std::to_string(seat)] = room.stored.lastSeq[seat];
  peer.send(text(json{{"type", "joined"},
                      {"room", room.stored.code},
                      {"seats", seats},
                      {"settings", json::parse(room.stored.settings)},
                      {"game", room.stored.game},
                      {"seed", room.stored.seed},
                      {"present", present(room)},
                      {"lastSeq", lastSeq}}));
  for (std::size_t n = static_cast<std::size_t>(since) + 1; n <= room.committed; ++n) {
    const Move& mv = room.stored.moves[n - 1];
    peer.send(text(json{{"type", "move"},
                        {"game", room.stored.game},
                        {"n", n},
                        {"seat", mv.seat},
                        {"col", mv.col},
                        {"row", mv.row}}));
  }
  if (!seats.empty()) sendPresence(room);
}

void Rooms::start(Peer& peer, const json& m) {
  long long game;
  if (!intField(m, "game", 1, 1LL << 40, game))
    return fail(peer, "start: \"game\" must be a whole number from 1");
  if (peer.room == nullptr || peer.seats.empty())
    return fail(peer, "start: only a page that holds a seat can start a game");
  Room& room = *peer.room;
  if (game != room.stored.game + 1)
    return fail(peer, "start: game " + std::to_string(game) +
                          (game <= room.stored.game ? " has already started" : " is not the next"));
  for (int seat = 1; seat <= room.stored.players; ++seat)
    if (!room.stored.tokens[seat].empty() && room.holder[seat] == nullptr)
      return fail(peer, "start: seat " + std::to_string(seat) + " has no page yet");
  unsigned char bytes[4];
  osRandom(bytes, sizeof bytes);
  StoredRoom next = room.stored;
  next.game = static_cast<int>(game);
  next.seed = static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
              static_cast<std::uint32_t>(bytes[3]) << 24;
  next.moves.clear();
  next.lastUsed = now();
  try {
    store_.start(next);
  } catch (const std::exception&) {
    return fail(peer, "start: the server could not store the game; try again later");
  }
  room.stored = std::move(next);
  room.committed = 0;
  broadcast(room,
            json{{"type", "started"}, {"game", room.stored.game}, {"seed", room.stored.seed}});
}

void Rooms::move(Peer& peer, const json& m) {
  long long game, seat, col, row, seq;
  if (!intField(m, "game", 0, 1LL << 40, game))
    return fail(peer, "move: \"game\" must be a whole number");
  if (!intField(m, "seat", 1, 4, seat)) return fail(peer, "move: \"seat\" must be 1 to 4");
  if (!intField(m, "col", 0, 23, col) || !intField(m, "row", 0, 23, row))
    return fail(peer, "move: \"col\" and \"row\" must be 0 to 23");
  if (!intField(m, "seq", 1, 1LL << 50, seq))
    return fail(peer, "move: \"seq\" must be a whole number from 1");
  Room* room = peer.room;
  if (room == nullptr || room->holder[seat] != &peer)
    return fail(peer, "move: this page does not hold seat " + std::to_string(seat));
  StoredRoom& r = room->stored;
  if (r.game == 0 || game != r.game)
    return fail(peer, "move: game " + std::to_string(game) + " is not the room's current game");
  if (seq <= r.lastSeq[seat])
    return fail(peer, "move: seq " + std::to_string(seq) + " of seat " + std::to_string(seat) +
                          " was already taken (the last was " + std::to_string(r.lastSeq[seat]) +
                          ")");
  pending_.push_back({room, peer.self(), r.lastSeq[seat]});
  r.lastSeq[seat] = seq;
  r.moves.push_back({static_cast<std::uint8_t>(seat), static_cast<std::uint8_t>(col),
                     static_cast<std::uint8_t>(row)});
  r.lastUsed = now();
  if (!flushPosted_) {
    flushPosted_ = true;
    post_([this] { flush(); });
  }
}

void Rooms::flush() {
  flushPosted_ = false;
  if (pending_.empty()) return;
  std::vector<Pending> batch;
  batch.swap(pending_);
  bool ok = store_.begin();
  for (auto& p : batch) {
    Room& room = *p.room;
    if (!ok) break;
    p.n = ++room.committed;
    ok = store_.addMove(room.stored, static_cast<int>(room.committed),
                        room.stored.lastSeq[room.stored.moves[room.committed - 1].seat]);
  }
  // lastSeq holds the newest seq; each move's own seq is not needed again.
  ok = ok && store_.commit();
  if (!ok) {
    store_.rollback();
    for (auto p = batch.rbegin(); p != batch.rend(); ++p) {
      StoredRoom& r = p->room->stored;
      r.lastSeq[r.moves.back().seat] = p->previousSeq;
      r.moves.pop_back();
      if (p->room->committed > r.moves.size()) p->room->committed = r.moves.size();
      if (auto sender = p->sender.lock())
        fail(*sender, "move: the server could not store the move; send it again");
    }
    return;
  }
  for (const auto& p : batch) {
    const Move& mv = p.room->stored.moves[p.n - 1];
    broadcast(*p.room, json{{"type", "move"},
                            {"game", p.room->stored.game},
                            {"n", p.n},
                            {"seat", mv.seat},
                            {"col", mv.col},
                            {"row", mv.row}});
  }
}

void Rooms::leave(Peer& peer) {
  Room* room = peer.room;
  if (room == nullptr) return;
  room->pages.erase(std::remove(room->pages.begin(), room->pages.end(), &peer), room->pages.end());
  for (int seat : peer.seats)
    if (room->holder[seat] == &peer) room->holder[seat] = nullptr;
  bool hadSeats = !peer.seats.empty();
  peer.room = nullptr;
  peer.seats.clear();
  room->stored.lastUsed = now();
  store_.touch(room->stored.code, room->stored.lastUsed);
  if (hadSeats) sendPresence(*room);
}

void Rooms::removeIdle(std::int64_t limitSeconds) {
  flush();
  std::int64_t t = now();
  for (auto it = rooms_.begin(); it != rooms_.end();) {
    if (it->second->pages.empty() && t - it->second->stored.lastUsed > limitSeconds) {
      store_.remove(it->first);
      it = rooms_.erase(it);
    } else {
      ++it;
    }
  }
}

void Rooms::broadcast(Room& room, const json& m) {
  auto shared = text(m);
  for (Peer* page : room.pages) page->send(shared);
}

json Rooms::present(const Room& room) const {
  json seats = json::array();
  for (int seat = 1; seat <= 4; ++seat)
    if (room.holder[seat] != nullptr) seats.push_back(seat);
  return seats;
}

void Rooms::sendPresence(Room& room) {
  broadcast(room, json{{"type", "presence"}, {"present", present(room)}});
}

}  // namespace server

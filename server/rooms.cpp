#include "rooms.h"

#include <sys/random.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>

#include "log.h"
#include "protocol.h"

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

// A whole-number field within the protocol's range for it, or false.
bool intField(const json& m, const char* key, protocol::Range range, long long& out) {
  return intField(m, key, range.low, range.high, out);
}

std::shared_ptr<const std::string> text(const json& m) {
  return std::make_shared<const std::string>(m.dump());
}

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
  if (m.is_discarded()) return refuse(peer, "the message is not valid JSON");
  if (!m.is_object()) return refuse(peer, "the message is not a JSON object");
  auto type = m.find("type");
  if (type == m.end() || !type->is_string())
    return refuse(peer, "the message has no \"type\" string");
  const std::string& t = type->get_ref<const std::string&>();
  // Each handler changes the rooms only once nothing can throw any more: a
  // failure leaves the rooms as they were, and the page is told.
  try {
    if (t == "move") return move(peer, m);
    // Anything but a move waits until the moves before it are stored and sent.
    flush();
    if (t == "create") return create(peer, m);
    if (t == "join") return join(peer, m);
    if (t == "start") return start(peer, m);
  } catch (const std::exception& e) {
    failureLog().note(peer.where, "internal error on a message: " + std::string(e.what()));
    return peer.send(errorText("the server failed on that message; try again later"));
  }
  refuse(peer, "unknown message type \"" + t.substr(0, 40) + "\"");
}

void Rooms::refuse(Peer& peer, const std::string& message) {
  failureLog().note(peer.where, "refused: " + message);
  peer.send(errorText(message));
}

void Rooms::create(Peer& peer, const json& m) {
  long long players;
  if (!intField(m, "players", 2, 4, players) || players == 3)
    return refuse(peer, "create: \"players\" must be 2 or 4");
  auto sense = m.find("sense");
  if (sense == m.end() || !sense->is_string() || (*sense != "ccw" && *sense != "cw"))
    return refuse(peer, "create: \"sense\" must be \"ccw\" or \"cw\"");
  auto seats = m.find("seats");
  if (seats == m.end() || !seats->is_array() || seats->size() != 4)
    return refuse(peer, "create: \"seats\" must be a list of four seats");
  json settings{{"players", players}, {"sense", *sense}, {"seats", json::array()}};
  StoredRoom r;
  r.code = codePrefix_ + randomHex();
  r.players = static_cast<int>(players);
  json tokens = json::object();
  for (int seat = 1; seat <= 4; ++seat) {
    const json& s = (*seats)[seat - 1];
    std::string which = "create: seat " + std::to_string(seat);
    if (!s.is_object()) return refuse(peer, which + " is not an object");
    auto kind = s.find("kind");
    if (kind == s.end() || !kind->is_string() || (*kind != "human" && *kind != "computer"))
      return refuse(peer, which + ": \"kind\" must be \"human\" or \"computer\"");
    long long strength = 1;
    if (s.contains("strength") &&
        !intField(s, "strength", protocol::types::seat::strength, strength))
      return refuse(peer, which + ": \"strength\" must be 1 or 2");
    if (*kind == "computer" && !s.contains("strength"))
      return refuse(peer, which + ": a computer seat needs a \"strength\"");
    settings["seats"].push_back({{"kind", *kind}, {"strength", strength}});
    if (*kind == "human" && seat <= players) {
      std::string token = randomHex();
      r.tokens[seat] = tokenDigest(token);
      tokens[std::to_string(seat)] = token;
    }
  }
  if (tokens.empty()) return refuse(peer, "create: the game needs at least one human seat");
  r.settings = settings.dump();
  r.lastUsed = now();
  try {
    store_.create(r);
  } catch (const std::exception&) {
    return refuse(peer, "create: the server could not store the room; try again later");
  }
  auto room = std::make_unique<Room>();
  room->stored = std::move(r);
  std::string code = room->stored.code;
  rooms_[code] = std::move(room);
  peer.send(text(json{{"type", "created"}, {"room", code}, {"tokens", tokens}}));
}

void Rooms::join(Peer& peer, const json& m) {
  auto code = m.find("room");
  if (code == m.end() || !code->is_string()) return refuse(peer, "join: \"room\" must be a string");
  auto tokens = m.find("tokens");
  if (tokens == m.end() || !tokens->is_array())
    return refuse(peer, "join: \"tokens\" must be a list of strings");
  long long since;
  if (!intField(m, "since", protocol::to_server::join::since, since))
    return refuse(peer, "join: \"since\" must be a whole number from 0");
  auto it = rooms_.find(code->get<std::string>());
  if (it == rooms_.end()) return refuse(peer, "join: there is no room with that code");
  Room& room = *it->second;
  json settings = json::parse(room.stored.settings);
  std::vector<int> seats;
  for (const json& token : *tokens) {
    if (!token.is_string()) return refuse(peer, "join: \"tokens\" must be a list of strings");
    std::string digest = tokenDigest(token.get<std::string>());
    int found = 0;
    for (int seat = 1; seat <= 4; ++seat)
      if (!room.stored.tokens[seat].empty() && room.stored.tokens[seat] == digest) found = seat;
    if (found == 0) return refuse(peer, "join: a token is not one of this room's seats");
    if (std::find(seats.begin(), seats.end(), found) == seats.end()) seats.push_back(found);
  }
  std::sort(seats.begin(), seats.end());
  leave(peer);
  // A seat link opened again takes the seat from the page that had it.
  for (int seat : seats) {
    Peer* old = room.holder[seat];
    if (old != nullptr) {
      old->seats.erase(std::remove(old->seats.begin(), old->seats.end(), seat), old->seats.end());
      old->send(
          errorText("seat " + std::to_string(seat) + " was taken by another page with its link"));
    }
    room.holder[seat] = &peer;
    if (!room.stored.joined[seat]) store_.markJoined(room.stored.code, seat);
    room.stored.joined[seat] = true;
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
                      {"settings", std::move(settings)},
                      {"game", room.stored.game},
                      {"seed", room.stored.seed},
                      {"present", present(room)},
                      {"joined", everJoined(room)},
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
  if (!intField(m, "game", protocol::to_server::start::game, game))
    return refuse(peer, "start: \"game\" must be a whole number from 1");
  if (peer.room == nullptr || peer.seats.empty())
    return refuse(peer, "start: only a page that holds a seat can start a game");
  Room& room = *peer.room;
  if (game != room.stored.game + 1)
    return refuse(peer,
                  "start: game " + std::to_string(game) +
                      (game <= room.stored.game ? " has already started" : " is not the next"));
  for (int seat = 1; seat <= room.stored.players; ++seat)
    if (!room.stored.tokens[seat].empty() && room.holder[seat] == nullptr)
      return refuse(peer, "start: seat " + std::to_string(seat) + " has no page yet");
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
    return refuse(peer, "start: the server could not store the game; try again later");
  }
  room.stored = std::move(next);
  room.committed = 0;
  broadcast(room,
            json{{"type", "started"}, {"game", room.stored.game}, {"seed", room.stored.seed}});
}

void Rooms::move(Peer& peer, const json& m) {
  long long game, seat, col, row, seq;
  namespace field = protocol::to_server::move;
  if (!intField(m, "game", field::game, game))
    return refuse(peer, "move: \"game\" must be a whole number");
  if (!intField(m, "seat", field::seat, seat)) return refuse(peer, "move: \"seat\" must be 1 to 4");
  if (!intField(m, "col", field::col, col) || !intField(m, "row", field::row, row))
    return refuse(peer,
                  "move: \"col\" and \"row\" must be 0 to " + std::to_string(field::col.high));
  if (!intField(m, "seq", field::seq, seq))
    return refuse(peer, "move: \"seq\" must be a whole number from 1");
  Room* room = peer.room;
  if (room == nullptr || room->holder[seat] != &peer)
    return refuse(peer, "move: this page does not hold seat " + std::to_string(seat));
  StoredRoom& r = room->stored;
  if (r.game == 0 || game != r.game)
    return refuse(peer, "move: game " + std::to_string(game) + " is not the room's current game");
  if (seq <= r.lastSeq[seat])
    return refuse(peer, "move: seq " + std::to_string(seq) + " of seat " + std::to_string(seat) +
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
  std::vector<NewMove> rows;
  std::unordered_map<Room*, std::size_t> stored;  // by room: the moves stored with the batch's
  for (auto& p : batch) {
    auto& n = stored.try_emplace(p.room, p.room->committed).first->second;
    p.n = ++n;
    const StoredRoom& r = p.room->stored;
    // lastSeq holds the newest seq; each move's own seq is not needed again.
    rows.push_back({&r, p.n, r.lastSeq[r.moves[p.n - 1].seat]});
  }
  if (!store_.addMoves(rows)) {
    for (auto p = batch.rbegin(); p != batch.rend(); ++p) {
      StoredRoom& r = p->room->stored;
      r.lastSeq[r.moves.back().seat] = p->previousSeq;
      r.moves.pop_back();
      if (auto sender = p->sender.lock())
        refuse(*sender, "move: the server could not store the move; send it again");
    }
    return;
  }
  for (const auto& p : batch) {
    p.room->committed = p.n;
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
  if (!hadSeats) return;
  if (broadcasting_ == 0) return sendPresence(*room);
  if (std::find(presenceDue_.begin(), presenceDue_.end(), room) == presenceDue_.end())
    presenceDue_.push_back(room);
}

void Rooms::removeIdle(std::int64_t limitSeconds) {
  flush();
  std::int64_t t = now();
  for (auto it = rooms_.begin(); it != rooms_.end();) {
    if (it->second->pages.empty() && t - it->second->stored.lastUsed > limitSeconds) {
      try {
        store_.remove(it->first);
      } catch (const std::exception& e) {
        // The room stays, in memory and on disk, for the next sweep.
        failureLog().note("", "the idle sweep could not remove a room: " + std::string(e.what()));
        ++it;
        continue;
      }
      it = rooms_.erase(it);
    } else {
      ++it;
    }
  }
}

// Sends to the pages of the room as they were when the message was made: a
// page that a send closes leaves the list at once, and the presence its
// leaving changed goes out once the message has reached every other page.
void Rooms::broadcast(Room& room, const json& m) {
  auto shared = text(m);
  std::vector<std::shared_ptr<Peer>> pages;
  pages.reserve(room.pages.size());
  for (Peer* page : room.pages)
    if (auto alive = page->self().lock()) pages.push_back(std::move(alive));
  ++broadcasting_;
  for (const auto& page : pages) page->send(shared);
  if (--broadcasting_ > 0) return;
  while (!presenceDue_.empty()) {
    Room* due = presenceDue_.front();
    presenceDue_.erase(presenceDue_.begin());
    sendPresence(*due);
  }
}

namespace {
// The seats 1..4 for which has(seat) holds.
template <class Has>
json seatsWhere(Has has) {
  json seats = json::array();
  for (int seat = 1; seat <= 4; ++seat)
    if (has(seat)) seats.push_back(seat);
  return seats;
}
}  // namespace

json Rooms::present(const Room& room) const {
  return seatsWhere([&](int seat) { return room.holder[seat] != nullptr; });
}

json Rooms::everJoined(const Room& room) const {
  return seatsWhere([&](int seat) { return room.stored.joined[seat]; });
}

void Rooms::sendPresence(Room& room) {
  broadcast(room,
            json{{"type", "presence"}, {"present", present(room)}, {"joined", everJoined(room)}});
}

}  // namespace server

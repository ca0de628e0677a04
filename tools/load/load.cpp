// spindrel-load: ROOMS rooms of four seats, every seat sending MOVES moves,
// against spindrel-server on loopback (one it starts itself with --server, or
// one already listening on --port). Checks that every page receives every
// move of its room exactly once and in order, and reports the relay latency,
// the moves a second, the server's CPU and memory from /proc, its own CPU and
// the machine's load.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "protocol.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

struct Config {
  int rooms = 500, moves = 100, port = 0, serverPid = 0, timeout = 300;
  double rate = 5;     // moves a second from each seat
  std::string server;  // the server program to start, if any
};

struct Figures {
  long received = 0, duplicated = 0, disordered = 0, errors = 0;
  std::vector<std::uint32_t> latencyUs;
};

struct Room;

struct Page : std::enable_shared_from_this<Page> {
  Page(asio::io_context& io, Room& room, int seat) : ws(io), timer(io), room(room), seat(seat) {}
  websocket::stream<tcp::socket> ws;
  asio::steady_timer timer;
  Room& room;
  int seat;
  beast::flat_buffer buffer;
  std::deque<std::string> queue;
  long nextN = 1;
  std::array<int, 5> lastK{-1, -1, -1, -1, -1};
  int sent = 0;
  bool open = false;  // the handshake done: messages may be sent
  long got = 0;
  void connect(const tcp::endpoint& server, const asio::ip::address& local);
  void send(const json& m);
  void send(std::string text);
  void write();
  void read();
  void onMessage(std::string_view text);
  void onMove(long n, int s, int col, int row);
  void sendMove();
  void wait(std::chrono::microseconds pause);  // then sendMove
  void join();
};

struct Room {
  std::vector<std::shared_ptr<Page>> pages;
  json tokens;
  std::string code;
  int joined = 0;
  std::vector<std::vector<Clock::time_point>> sentAt;  // by seat, by move
};

Config config;
Figures figures;
long pagesDone = 0, pagesTotal = 0;
Clock::time_point movesBegan;
bool draining = false;
long pagesStarted = 0;
double serverCpuAtMoves = 0;
// The io_context is made before the rooms, so it outlives their pages.
asio::io_context io(1);
std::vector<Room> rooms;

std::pair<double, long> serverUse();

void finishPage() {
  if (++pagesDone == pagesTotal) io.stop();
}

void Page::connect(const tcp::endpoint& server, const asio::ip::address& local) {
  auto& socket = ws.next_layer();
  socket.open(tcp::v4());
  socket.bind(tcp::endpoint(local, 0));
  socket.async_connect(server, [self = shared_from_this()](beast::error_code ec) {
    if (ec) {
      ++figures.errors;
      std::cerr << "connect: " << ec.message() << "\n";
      return;
    }
    self->ws.next_layer().set_option(tcp::no_delay(true), ec);
    self->ws.async_handshake("127.0.0.1", "/ws", [self](beast::error_code ec) {
      if (ec) {
        ++figures.errors;
        std::cerr << "handshake: " << ec.message() << "\n";
        return;
      }
      self->open = true;
      self->read();
      self->join();
      if (self->seat == 1) {
        json seats = json::array();
        for (int i = 0; i < 4; ++i) seats.push_back({{"kind", "human"}, {"strength", 1}});
        self->send({{"type", "create"}, {"players", 4}, {"sense", "ccw"}, {"seats", seats}});
      }
    });
  });
}

void Page::send(const json& m) { send(m.dump()); }

void Page::send(std::string text) {
  queue.push_back(std::move(text));
  if (queue.size() == 1) write();
}

void Page::write() {
  ws.async_write(asio::buffer(queue.front()),
                 [self = shared_from_this()](beast::error_code ec, std::size_t) {
                   if (ec) {
                     if (!draining)
                       ++figures.errors, std::cerr << "write: " << ec.message() << "\n";
                     return;
                   }
                   self->queue.pop_front();
                   if (!self->queue.empty()) self->write();
                 });
}

void Page::read() {
  ws.async_read(buffer, [self = shared_from_this()](beast::error_code ec, std::size_t) {
    if (ec) return;
    auto data = self->buffer.cdata();
    self->onMessage(std::string_view(static_cast<const char*>(data.data()), data.size()));
    self->buffer.consume(self->buffer.size());
    self->read();
  });
}

// Reads `"key":N` at p, then the comma or brace after it.
bool field(const char*& p, const char* end, std::string_view key, long& out) {
  if (static_cast<std::size_t>(end - p) < key.size() + 4 || p[0] != '"' ||
      std::string_view(p + 1, key.size()) != key || p[key.size() + 1] != '"' ||
      p[key.size() + 2] != ':')
    return false;
  auto r = std::from_chars(p + key.size() + 3, end, out);
  if (r.ec != std::errc() || r.ptr == end) return false;
  p = r.ptr + 1;
  return true;
}

void Page::onMessage(std::string_view text) {
  // The moves, by far the most messages, are read without building a JSON
  // value: the server writes their fields in this order.
  const char *p = text.data() + 1, *end = text.data() + text.size();
  long col, game, n, row, s;
  if (text.size() > 1 && text[0] == '{' && field(p, end, "col", col) &&
      field(p, end, "game", game) && field(p, end, "n", n) && field(p, end, "row", row) &&
      field(p, end, "seat", s) && std::string_view(p, end - p) == "\"type\":\"move\"}" && s >= 1 &&
      s <= 4)
    return onMove(n, static_cast<int>(s), static_cast<int>(col), static_cast<int>(row));
  json m = json::parse(text, nullptr, false);
  std::string type = m.is_object() ? m.value("type", "") : "";
  if (type == "created") {
    room.code = m["room"];
    room.tokens = m["tokens"];
    for (auto& page : room.pages) page->join();
  } else if (type == "joined") {
    if (++room.joined == 4) room.pages[0]->send({{"type", "start"}, {"game", 1}});
  } else if (type == "started") {
    // Once every page has seen its game start, every seat sends at one pace, the
    // seats spread evenly over one period rather than all at once.
    if (++pagesStarted < pagesTotal) return;
    movesBegan = Clock::now();
    serverCpuAtMoves = serverUse().first;
    long i = 0;
    for (auto& r : rooms)
      for (auto& page : r.pages)
        page->wait(
            std::chrono::microseconds(static_cast<long>(1e6 / config.rate * i++ / pagesTotal)));
  } else if (type == "move") {
    ++figures.errors;
    std::cerr << "a move not as the server writes them: " << text << "\n";
  } else if (type == "error") {
    ++figures.errors;
    std::cerr << "error: " << m.value("message", "") << "\n";
  }
}

void Page::onMove(long n, int s, int col, int row) {
  auto now = Clock::now();
  int k = col + static_cast<int>(protocol::boardSize) * row;
  if (n < nextN) ++figures.duplicated;
  if (n != nextN || k <= lastK[s]) ++figures.disordered;
  nextN = std::max(nextN, n + 1);
  lastK[s] = std::max(lastK[s], k);
  ++figures.received;
  if (k < 0 || k >= config.moves) {
    ++figures.errors;
  } else {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - room.sentAt[s][k]);
    figures.latencyUs.push_back(static_cast<std::uint32_t>(us.count()));
  }
  if (++got == 4L * config.moves) finishPage();
}

// Joins the room once both its code is known and this page's handshake is done.
void Page::join() {
  if (!open || room.code.empty()) return;
  send({{"type", "join"},
        {"room", room.code},
        {"tokens", {room.tokens[std::to_string(seat)]}},
        {"since", 0}});
}

void Page::sendMove() {
  if (sent == config.moves) return;
  int k = sent++;
  room.sentAt[seat][k] = Clock::now();
  char text[96];
  std::snprintf(text, sizeof text,
                "{\"type\":\"move\",\"game\":1,\"seat\":%d,\"col\":%d,\"row\":%d,\"seq\":%d}", seat,
                static_cast<int>(k % protocol::boardSize),
                static_cast<int>(k / protocol::boardSize), k + 1);
  send(std::string(text));
  wait(std::chrono::microseconds(static_cast<long>(1e6 / config.rate)));
}

void Page::wait(std::chrono::microseconds pause) {
  timer.expires_after(pause);
  timer.async_wait([self = shared_from_this()](beast::error_code ec) {
    if (!ec) self->sendMove();
  });
}

// The server's CPU seconds and resident memory in KiB, from /proc.
std::pair<double, long> serverUse() {
  if (config.serverPid == 0) return {0, 0};
  std::ifstream stat("/proc/" + std::to_string(config.serverPid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i == 14 || i == 15) ticks += std::stod(field);
  std::ifstream status("/proc/" + std::to_string(config.serverPid) + "/status");
  long rss = 0;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) rss = std::stol(line.substr(6));
  return {ticks / sysconf(_SC_CLK_TCK), rss};
}

// Starts the server program on a free loopback port, its files in a fresh
// folder; it ends with this program even when this one is killed.
int serverOutput = -1;

bool startServer(std::filesystem::path& folder) {
  char name[] = "/tmp/spindrel-load-XXXXXX";
  if (mkdtemp(name) == nullptr) return false;
  folder = name;
  std::string site = folder.string(), db = (folder / "rooms.db").string();
  int out[2];
  if (pipe(out) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(config.server.c_str(), config.server.c_str(), "--site", site.c_str(), "--db", db.c_str(),
          "--port", "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  if (pid < 0) return false;
  config.serverPid = pid;
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  serverOutput = out[0];  // kept open: the server writes to it again
  auto colon = line.rfind(':');
  if (line.rfind("listening on http://127.0.0.1:", 0) != 0 || colon == std::string::npos)
    return false;
  config.port = std::atoi(line.c_str() + colon + 1);
  return config.port > 0;
}

// Ends the server that startServer started; false unless it ends well.
bool stopServer(const std::filesystem::path& folder) {
  if (config.server.empty()) return true;
  int status = 0;
  if (config.serverPid > 0) {
    kill(config.serverPid, SIGTERM);
    waitpid(config.serverPid, &status, 0);
  }
  if (serverOutput >= 0) close(serverOutput);
  std::error_code ec;
  if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) std::printf("the server did not end well on SIGTERM (status %d)\n", status);
  return ok;
}

double ownCpu() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Many rooms of four seats against spindrel-server on loopback: every page must receive "
      "every move of its room exactly once and in order."};
  auto* program = app.add_option("--server", config.server, "the server program to start");
  auto* port = app.add_option("--port", config.port, "the port of a server already listening")
                   ->check(CLI::Range(1, 65535));
  program->excludes(port);
  app.add_option("--server-pid", config.serverPid, "that server's process, for its CPU and memory")
      ->needs(port);
  app.add_option("--rooms", config.rooms, "rooms of four seats")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  app.add_option("--moves", config.moves, "moves each seat sends")
      ->capture_default_str()
      ->check(
          CLI::Range(1, static_cast<int>(protocol::cells)));  // a seat's moves are distinct cells
  app.add_option("--rate", config.rate, "moves a second from each seat")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 19.0));
  app.add_option("--timeout", config.timeout, "seconds before the run is given up")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);
  if (config.server.empty() && config.port == 0) {
    std::cerr << "spindrel-load: --server or --port is needed (see --help)\n";
    return 2;
  }
  std::filesystem::path folder;
  if (!config.server.empty() && !startServer(folder)) {
    std::cerr << "spindrel-load: the server did not start\n";
    stopServer(folder);
    return 1;
  }
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  auto before = serverUse();
  tcp::endpoint server(asio::ip::make_address("127.0.0.1"),
                       static_cast<unsigned short>(config.port));
  rooms.resize(static_cast<std::size_t>(config.rooms));
  pagesTotal = 4L * config.rooms;
  for (std::size_t r = 0; r < rooms.size(); ++r) {
    rooms[r].sentAt.assign(5,
                           std::vector<Clock::time_point>(static_cast<std::size_t>(config.moves)));
    // Each room's pages come from an address of their own in 127.0.0.0/8,
    // so the server's connections-per-address limit holds as for real pages.
    auto local = asio::ip::make_address_v4(0x7F000002u + static_cast<unsigned>(r % 250));
    for (int seat = 1; seat <= 4; ++seat) {
      rooms[r].pages.push_back(std::make_shared<Page>(io, rooms[r], seat));
      rooms[r].pages.back()->connect(server, local);
    }
  }
  asio::steady_timer deadline(io, std::chrono::seconds(config.timeout));
  bool timedOut = false;
  deadline.async_wait([&](beast::error_code ec) {
    if (!ec) timedOut = true, io.stop();
  });
  auto began = Clock::now();
  movesBegan = began;
  io.run();
  double seconds = std::chrono::duration<double>(Clock::now() - movesBegan).count();
  double allSeconds = std::chrono::duration<double>(Clock::now() - began).count();
  auto after = serverUse();
  std::string load;
  std::getline(std::ifstream("/proc/loadavg"), load);
  // The server stopped while the pages are still connected, as a real one
  // would be; then every connection and timer ended, and their handlers
  // run, before the pages go.
  draining = true;
  bool serverOk = stopServer(folder);
  for (auto& room : rooms)
    for (auto& page : room.pages) {
      beast::error_code ec;
      page->ws.next_layer().close(ec);
      page->timer.cancel();
    }
  deadline.cancel();
  io.restart();
  io.run();
  long expected = 16L * config.moves * config.rooms;
  auto& l = figures.latencyUs;
  std::sort(l.begin(), l.end());
  auto at = [&](double q) {
    return l.empty() ? 0.0 : l[static_cast<std::size_t>(q * (l.size() - 1))] / 1000.0;
  };
  double cpu = after.first - serverCpuAtMoves;
  std::printf("rooms %d, pages %ld, moves sent %ld, copies expected %ld\n", config.rooms,
              pagesTotal, 4L * config.moves * config.rooms, expected);
  std::printf("received %ld, lost %ld, duplicated %ld, out of order %ld, errors %ld%s\n",
              figures.received, expected - figures.received + figures.duplicated,
              figures.duplicated, figures.disordered, figures.errors,
              timedOut ? ", TIMED OUT" : "");
  std::printf("relay latency median %.2f ms, p99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99),
              at(1.0));
  std::printf("moves %.0f/s in, %.0f/s out, over %.1f s (%.1f s with the rooms' setup)\n",
              4.0 * config.moves * config.rooms / seconds, figures.received / seconds, seconds,
              allSeconds);
  if (config.serverPid != 0)
    std::printf(
        "server CPU %.1f s (%.0f%% of one core), memory %ld KiB -> %ld KiB (%.1f KiB a room)\n",
        cpu, 100 * cpu / seconds, before.second, after.second,
        static_cast<double>(after.second - before.second) / config.rooms);
  std::printf("load tool CPU %.1f s; machine load average (1, 5, 15 min) %s\n", ownCpu(),
              load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1)).c_str());
  bool ok = serverOk && !timedOut && figures.received == expected && figures.duplicated == 0 &&
            figures.disordered == 0 && figures.errors == 0;
  return ok ? 0 : 1;
}

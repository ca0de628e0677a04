// spindrel-server: the site's files and the rooms of online play on one port.
#include <sys/resource.h>

#include <boost/asio.hpp>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <string>

#include "log.h"
#include "rooms.h"
#include "session.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

const char* kUsage =
    "usage: spindrel-server --site DIR [--address 127.0.0.1] [--port 0] [--db FILE]\n"
    "         [--idle-limit SECONDS] [--per-address N]\n"
    "  --site DIR           the folder of the site's files\n"
    "  --address ADDR       the address to listen on (default 127.0.0.1)\n"
    "  --port PORT          the port, 0 for any free one (default 8014)\n"
    "  --db FILE            the rooms' database (default spindrel-rooms.db)\n"
    "  --idle-limit SECONDS rooms nobody used that long are removed (default 86400)\n"
    "  --per-address N      connections at once from one address (default 32)\n";

struct Options {
  std::string site, address = "127.0.0.1", db = "spindrel-rooms.db";
  unsigned short port = 8014;
  long idleLimit = 86400;
  int perAddress = 32;
};

bool number(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return *text && *end == '\0' && out >= low && out <= high;
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    long n;
    if (arg == "--site")
      o.site = value;
    else if (arg == "--address")
      o.address = value;
    else if (arg == "--db")
      o.db = value;
    else if (arg == "--port" && number(value, 0, 65535, n))
      o.port = static_cast<unsigned short>(n);
    else if (arg == "--idle-limit" && number(value, 1, LONG_MAX, n))
      o.idleLimit = n;
    else if (arg == "--per-address" && number(value, 1, 1000000, n))
      o.perAddress = static_cast<int>(n);
    else
      return false;
  }
  return !o.site.empty();
}

// Many pages at once need many descriptors: take what the system allows.
void raiseFileLimit() {
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

void accept(tcp::acceptor& acceptor, server::Rooms& rooms, const server::Limits& limits,
            server::AddressCounts& counts) {
  acceptor.async_accept([&](boost::system::error_code ec, tcp::socket socket) {
    if (!ec) server::startSession(std::move(socket), rooms, limits, counts);
    if (acceptor.is_open()) accept(acceptor, rooms, limits, counts);
  });
}

void sweep(asio::steady_timer& timer, server::Rooms& rooms, long limit) {
  timer.expires_after(std::chrono::seconds(std::min(limit, 60L)));
  timer.async_wait([&timer, &rooms, limit](boost::system::error_code ec) {
    if (ec) return;
    try {
      rooms.removeIdle(limit);
    } catch (const std::exception& e) {
      server::failureLog().note("", std::string("the idle sweep failed: ") + e.what());
    }
    sweep(timer, rooms, limit);
  });
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::cerr << kUsage;
    return 2;
  }
  char real[PATH_MAX];
  if (realpath(o.site.c_str(), real) == nullptr) {
    std::cerr << "spindrel-server: no site folder " << o.site << "\n";
    return 1;
  }
  raiseFileLimit();
  // What the connections point at outlives the io_context, whose pending
  // handlers still hold connections when it goes.
  server::AddressCounts counts;
  try {
    asio::io_context io(1);
    server::Store store(o.db);
    server::Rooms rooms(store, [&io](std::function<void()> f) { asio::post(io, std::move(f)); });
    rooms.removeIdle(o.idleLimit);
    server::Limits limits{real, o.perAddress, 20};
    tcp::endpoint endpoint(asio::ip::make_address(o.address), o.port);
    tcp::acceptor acceptor(io, endpoint);
    accept(acceptor, rooms, limits, counts);
    asio::steady_timer timer(io);
    sweep(timer, rooms, o.idleLimit);
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](boost::system::error_code, int) {
      rooms.flush();
      io.stop();
    });
    auto bound = acceptor.local_endpoint();
    std::string host = bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                               : bound.address().to_string();
    std::cout << "listening on http://" << host << ":" << bound.port() << "/" << std::endl;
    std::cout << rooms.size() << " rooms from the database" << std::endl;
    // A handler that throws loses its own work, never the server's.
    for (;;) {
      try {
        io.run();
        break;
      } catch (const std::exception& e) {
        server::failureLog().note("", std::string("a handler failed: ") + e.what());
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "spindrel-server: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

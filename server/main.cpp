// spindrel-server: the site's files and the rooms of online play on one port.
#include <pthread.h>
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <boost/asio.hpp>
#include <climits>
#include <iostream>
#include <string>

#include "log.h"
#include "rooms.h"
#include "session.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

struct Options {
  std::string site, address = "127.0.0.1", db = "spindrel-rooms.db", serverId;
  unsigned short port = 8014;
  long idleLimit = 86400;
  int perAddress = 32;
};

// The options; exit code 0 after --help, 2 after a wrong option, -1 to run.
int parse(int argc, char** argv, Options& o) {
  CLI::App app("spindrel-server: the site's files and the rooms of online play on one port",
               "spindrel-server");
  app.add_option("--site", o.site, "the folder of the site's files")
      ->required()
      ->check(CLI::ExistingDirectory);
  app.add_option("--address", o.address, "the address to listen on (default 127.0.0.1)");
  app.add_option("--port", o.port, "the port, 0 for any free one (default 8014)");
  app.add_option("--db", o.db, "the rooms' database (default spindrel-rooms.db)");
  app.add_option("--idle-limit", o.idleLimit,
                 "rooms nobody used that many seconds are removed (default 86400)")
      ->check(CLI::PositiveNumber);
  app.add_option("--per-address", o.perAddress, "connections at once from one address (default 32)")
      ->check(CLI::Range(1, 1000000));
  app.add_option("--server-id", o.serverId,
                 "1 to 8 hexadecimal digits that begin every room code this server makes, so "
                 "that a proxy sends a room's pages to it (default none)")
      ->check([](const std::string& id) -> std::string {
        bool hex = id.find_first_not_of("0123456789abcdef") == std::string::npos;
        return hex && !id.empty() && id.size() <= 8 ? "" : "1 to 8 digits of 0-9 a-f";
      });
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  return -1;
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

// Stops the loop once every page's connection has closed, or after about two
// seconds for pages that do not answer the close.
void stopWhenClosed(asio::io_context& io, asio::steady_timer& timer, const server::OpenPages& open,
                    int checksLeft) {
  if (open.size() == 0 || checksLeft == 0) return io.stop();
  timer.expires_after(std::chrono::milliseconds(20));
  timer.async_wait([&io, &timer, &open, checksLeft](boost::system::error_code) {
    stopWhenClosed(io, timer, open, checksLeft - 1);
  });
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int code = parse(argc, argv, o); code >= 0) return code;
  char real[PATH_MAX];
  if (realpath(o.site.c_str(), real) == nullptr) {
    std::cerr << "spindrel-server: no site folder " << o.site << "\n";
    return 1;
  }
  raiseFileLimit();
  // What the connections point at outlives the io_context, whose pending
  // handlers still hold connections when it goes.
  server::AddressCounts counts;
  server::OpenPages open;
  try {
    asio::io_context io(1);
    server::Store store(o.db);
    server::Rooms rooms(
        store, [&io](std::function<void()> f) { asio::post(io, std::move(f)); }, o.serverId);
    rooms.removeIdle(o.idleLimit);
    server::Limits limits{real, o.perAddress, 20, &open};
    tcp::endpoint endpoint(asio::ip::make_address(o.address), o.port);
    tcp::acceptor acceptor(io, endpoint);
    accept(acceptor, rooms, limits, counts);
    asio::steady_timer timer(io);
    sweep(timer, rooms, o.idleLimit);
    // SIGTERM or SIGINT drains: no new connection, the moves received so far
    // stored and sent, every page told that the server is going away (the
    // page reconnects), then the database closed as the store goes.
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](boost::system::error_code, int) {
      // A second signal (Ctrl+C and a supervisor's SIGTERM) waits for the
      // drain instead of ending the process halfway through it.
      sigset_t stopping;
      sigemptyset(&stopping);
      sigaddset(&stopping, SIGINT);
      sigaddset(&stopping, SIGTERM);
      pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
      acceptor.close();
      timer.cancel();
      rooms.flush();
      std::cout << "stopping: closing " << open.closeAll("the server is restarting")
                << " connections" << std::endl;
      stopWhenClosed(io, timer, open, 100);
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
  std::cout << "stopped" << std::endl;
  return 0;
}

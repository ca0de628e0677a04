// One TCP connection: HTTP requests for the site's files, or, after an
// upgrade at /ws, one page's WebSocket.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <map>
#include <memory>
#include <string>

#include "rooms.h"

namespace server {

struct Limits {
  std::string site;     // the site folder, canonical
  int perAddress = 32;  // connections at once from one address
  int perSecond = 20;   // messages a second from one page
};

// Connections open now, by the client's address.
class AddressCounts {
 public:
  // Counts one more connection from address; false when that is too many.
  bool add(const std::string& address, int limit);
  void remove(const std::string& address);

 private:
  std::map<std::string, int> counts_;
};

void startSession(boost::asio::ip::tcp::socket socket, Rooms& rooms, const Limits& limits,
                  AddressCounts& counts);

}  // namespace server

// One TCP connection: HTTP requests for the site's files, or, after an
// upgrade at /ws, one page's WebSocket.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "rooms.h"

namespace server {

class OpenPages;

struct Limits {
  std::string site;           // the site folder, canonical
  int perAddress = 32;        // connections at once from one address
  int perSecond = 20;         // messages a second from one page
  OpenPages* open = nullptr;  // where each page's connection is kept, if anywhere
};

// The pages' connections open now, so that a server that stops can tell them.
class OpenPages {
 public:
  using Closer = std::function<void(const std::string& reason)>;
  void add(const void* page, Closer close) { closers_[page] = std::move(close); }
  void remove(const void* page) { closers_.erase(page); }
  std::size_t size() const { return closers_.size(); }
  // Closes every one with code 1012 (service restart) and reason; how many.
  std::size_t closeAll(const std::string& reason);

 private:
  std::map<const void*, Closer> closers_;
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

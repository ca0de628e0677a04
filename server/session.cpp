#include "session.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <deque>
#include <optional>

#include "http.h"
#include "log.h"

namespace server {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

bool AddressCounts::add(const std::string& address, int limit) {
  return ++counts_[address] <= limit;
}

void AddressCounts::remove(const std::string& address) {
  auto it = counts_.find(address);
  if (it != counts_.end() && --it->second <= 0) counts_.erase(it);
}

std::size_t OpenPages::closeAll(const std::string& reason) {
  auto closers = closers_;  // a close may end a page, which leaves the map
  for (auto& [page, close] : closers) close(reason);
  return closers.size();
}

namespace {

constexpr std::size_t kMessageMax = 4096;
constexpr std::size_t kQueueMax = 4096;  // messages waiting for a slow page
// A connection's first request may come slowly; a kept-alive connection that
// waits for another frees its place against the per-address limit sooner.
constexpr std::chrono::seconds kFirstRequestWait{30};
constexpr std::chrono::seconds kKeptAliveWait{5};

// Keeps a connection counted against its address while any part of it lives.
struct Counted {
  Counted(AddressCounts& counts, const boost::asio::ip::address& from, int limit)
      : counts(counts),
        address(from.to_string()),
        where(network(from)),
        allowed(counts.add(address, limit)) {}
  ~Counted() { counts.remove(address); }
  AddressCounts& counts;
  std::string address;
  std::string where;  // the address's network, all the log ever names
  bool allowed;
};

// Why a connection ended, or nothing when it ended as it should: the page
// closed it, or it closed after an answer.
std::optional<std::string> failure(const beast::error_code& ec) {
  if (ec == websocket::error::closed || ec == http::error::end_of_stream ||
      ec == boost::asio::error::operation_aborted)
    return std::nullopt;
  return ec.message();
}

class WsSession : public Peer, public std::enable_shared_from_this<WsSession> {
 public:
  WsSession(tcp::socket socket, Rooms& rooms, const Limits& limits,
            std::shared_ptr<Counted> counted)
      : ws_(std::move(socket)), rooms_(rooms), limits_(limits), counted_(std::move(counted)) {
    where = counted_->where;
  }
  ~WsSession() override {
    if (limits_.open) limits_.open->remove(this);
  }

  void run(http::request<http::string_body> request) {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    // Longer messages are read whole, answered with an error and dropped;
    // beyond this the connection is closed.
    ws_.read_message_max(64 * 1024);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
      if (ec) return self->dropped("WebSocket handshake: " + ec.message());
      if (!self->counted_->allowed) {
        self->dropped("too many connections from one address");
        self->send(errorText("too many connections from your address"));
        self->closeAfterWrites_ = true;
        return;
      }
      if (self->limits_.open)
        self->limits_.open->add(self.get(), [weak = std::weak_ptr<WsSession>(self)](auto& reason) {
          if (auto page = weak.lock())
            page->close(websocket::close_code::service_restart, true, reason);
        });
      self->read();
    });
  }

  void send(std::shared_ptr<const std::string> text) override {
    if (closed_) return;
    if (queue_.size() >= kQueueMax) {
      dropped("the page did not read its messages (" + std::to_string(kQueueMax) + " waiting)");
      return close(websocket::close_code::policy_error);
    }
    queue_.push_back(std::move(text));
    if (queue_.size() == 1) write();
  }

  std::weak_ptr<Peer> self() override { return std::static_pointer_cast<Peer>(shared_from_this()); }

 private:
  void read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      self->onRead(ec);
    });
  }

  void onRead(beast::error_code ec) {
    if (ec) {
      if (auto why = failure(ec); why && !closed_) dropped("reading: " + *why);
      return close(websocket::close_code::normal, false);
    }
    if (closed_) return;
    auto t = std::chrono::steady_clock::now();
    recent_.push_back(t);
    while (!recent_.empty() && t - recent_.front() >= std::chrono::seconds(1)) recent_.pop_front();
    if (recent_.size() > static_cast<std::size_t>(limits_.perSecond)) {
      dropped("more than " + std::to_string(limits_.perSecond) + " messages in a second");
      return close(websocket::close_code::policy_error);
    }
    if (!ws_.got_text()) {
      refuse("binary frames are not accepted; send JSON text");
    } else if (buffer_.size() > kMessageMax) {
      refuse("the message is over 4 KiB");
    } else {
      rooms_.handle(*this, beast::buffers_to_string(buffer_.data()));
    }
    buffer_.consume(buffer_.size());
    if (!closed_) read();
  }

  void write() {
    ws_.text(true);
    ws_.async_write(boost::asio::buffer(*queue_.front()),
                    [self = shared_from_this()](beast::error_code ec, std::size_t) {
                      if (ec) {
                        if (auto why = failure(ec); why && !self->closed_)
                          self->dropped("writing: " + *why);
                        return self->close(websocket::close_code::normal, false);
                      }
                      self->queue_.pop_front();
                      if (self->closed_) return;
                      if (!self->queue_.empty()) return self->write();
                      if (self->closeAfterWrites_) self->close(websocket::close_code::policy_error);
                    });
  }

  void dropped(const std::string& why) { failureLog().note(where, "connection dropped: " + why); }
  void refuse(const std::string& message) {
    failureLog().note(where, "refused: " + message);
    send(errorText(message));
  }

  // Leaves the room; sends a close frame when the connection still works.
  void close(websocket::close_code code, bool sendFrame = true, const std::string& reason = {}) {
    if (closed_) return;
    closed_ = true;
    rooms_.leave(*this);
    if (sendFrame && ws_.is_open())
      ws_.async_close(websocket::close_reason(code, reason),
                      [self = shared_from_this()](beast::error_code) {});
  }

  websocket::stream<tcp::socket> ws_;
  beast::flat_buffer buffer_;
  Rooms& rooms_;
  const Limits& limits_;
  std::shared_ptr<Counted> counted_;
  std::deque<std::shared_ptr<const std::string>> queue_;
  std::deque<std::chrono::steady_clock::time_point> recent_;
  bool closed_ = false;
  bool closeAfterWrites_ = false;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, Rooms& rooms, const Limits& limits,
              std::shared_ptr<Counted> counted)
      : stream_(std::move(socket)), rooms_(rooms), limits_(limits), counted_(std::move(counted)) {}

  void read(bool keptAlive = false) {
    parser_.emplace();
    parser_->body_limit(kMessageMax);
    stream_.expires_after(keptAlive ? kKeptAliveWait : kFirstRequestWait);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this(), keptAlive](beast::error_code ec, std::size_t) {
                       if (!ec) return self->onRequest();
                       // A kept-alive connection with no further request ends as it should.
                       if (keptAlive && ec == beast::error::timeout) return;
                       if (auto why = failure(ec))
                         failureLog().note(self->counted_->where, "HTTP request: " + *why);
                     });
  }

 private:
  void onRequest() {
    auto request = parser_->release();
    std::string_view target(request.target().data(), request.target().size());
    // The page names its room after the path (/ws?room=CODE) for a proxy.
    if (websocket::is_upgrade(request) && target.substr(0, target.find('?')) == "/ws") {
      stream_.expires_never();
      std::make_shared<WsSession>(stream_.release_socket(), rooms_, limits_, counted_)
          ->run(std::move(request));
      return;
    }
    bool keepAlive = request.keep_alive();
    if (!counted_->allowed) {
      failureLog().note(counted_->where, "HTTP refused: too many connections from one address");
      return answer(http::status::too_many_requests, "too many connections");
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      return answer(http::status::method_not_allowed, "only GET and HEAD", keepAlive);
    }
    Resolved r = resolve(limits_.site, target);
    if (r.status == 400) return answer(http::status::bad_request, "bad path", keepAlive);
    if (r.status == 403) return answer(http::status::forbidden, "forbidden", keepAlive);
    if (r.status != 200) return answer(http::status::not_found, "not found", keepAlive);
    http::file_body::value_type body;
    beast::error_code ec;
    body.open(r.file.c_str(), beast::file_mode::scan, ec);
    if (ec) return answer(http::status::not_found, "not found", keepAlive);
    auto response = std::make_shared<http::response<http::file_body>>(http::status::ok, 11);
    response->set(http::field::content_type, contentType(r.file));
    response->set(http::field::cache_control, "no-cache");
    response->keep_alive(keepAlive);
    if (request.method() == http::verb::head) {
      response->content_length(body.size());
      auto head = std::make_shared<http::response<http::empty_body>>(http::status::ok, 11);
      head->base() = response->base();
      return send(head);
    }
    response->body() = std::move(body);
    response->prepare_payload();
    send(response);
  }

  void answer(http::status status, const std::string& text, bool keepAlive = false) {
    auto response = std::make_shared<http::response<http::string_body>>(status, 11);
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    if (status == http::status::method_not_allowed) response->set(http::field::allow, "GET, HEAD");
    response->keep_alive(keepAlive);
    response->body() = text + "\n";
    response->prepare_payload();
    send(response);
  }

  template <class Response>
  void send(std::shared_ptr<Response> response) {
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code ec, std::size_t) {
                        if (ec) return;
                        if (!response->keep_alive()) {
                          beast::error_code ignored;
                          self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                          return;
                        }
                        self->read(true);
                      });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  Rooms& rooms_;
  const Limits& limits_;
  std::shared_ptr<Counted> counted_;
};

}  // namespace

void startSession(tcp::socket socket, Rooms& rooms, const Limits& limits, AddressCounts& counts) {
  beast::error_code ec;
  auto endpoint = socket.remote_endpoint(ec);
  if (ec) return;
  // A move is a few dozen bytes: send it at once, not with the next one.
  socket.set_option(tcp::no_delay(true), ec);
  auto counted = std::make_shared<Counted>(counts, endpoint.address(), limits.perAddress);
  std::make_shared<HttpSession>(std::move(socket), rooms, limits, std::move(counted))->read();
}

}  // namespace server

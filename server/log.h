// One line on standard error for every failure that drops a connection or
// refuses a message: the cause and the network the page came from, never a
// room's code or a token. A flood of failures cannot fill the disk: past
// linesPerSecond in one second, lines are only counted, and the count is
// given with the next line written.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace server {

class FailureLog {
 public:
  using Clock = std::chrono::steady_clock;
  explicit FailureLog(std::function<void(const std::string&)> write, int linesPerSecond = 20);
  // where: the page's network (see network()); cause: what went wrong.
  void note(std::string_view where, std::string_view cause, Clock::time_point at = Clock::now());

 private:
  std::function<void(const std::string&)> write_;
  int linesPerSecond_;
  Clock::time_point windowStart_{};
  int written_ = 0;
  long left_ = 0;  // lines not written since the last one that was
};

// The log every part of the server writes to (standard error).
FailureLog& failureLog();

// The address's network: "192.0.2.0/24" for IPv4, "2001:db8:1:2::/64" for IPv6.
std::string network(const boost::asio::ip::address& address);

}  // namespace server

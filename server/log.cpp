#include "log.h"

#include <iostream>

namespace server {

FailureLog::FailureLog(std::function<void(const std::string&)> write, int linesPerSecond)
    : write_(std::move(write)), linesPerSecond_(linesPerSecond) {}

void FailureLog::note(std::string_view where, std::string_view cause, Clock::time_point at) {
  if (at - windowStart_ >= std::chrono::seconds(1)) {
    windowStart_ = at;
    written_ = 0;
  }
  if (written_ >= linesPerSecond_) {
    ++left_;
    return;
  }
  ++written_;
  std::string line = "failure from ";
  line += where.empty() ? "the server" : where;
  line += ": ";
  // A cause may quote what a page sent: no control character reaches the log.
  for (char c : cause) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
  if (left_ > 0) line += " (and " + std::to_string(left_) + " more not logged)";
  left_ = 0;
  write_(line);
}

FailureLog& failureLog() {
  static FailureLog log([](const std::string& line) { std::cerr << line << std::endl; });
  return log;
}

std::string network(const boost::asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return network(boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6()));
  if (address.is_v4()) {
    auto bytes = address.to_v4().to_bytes();
    bytes[3] = 0;
    return boost::asio::ip::address_v4(bytes).to_string() + "/24";
  }
  auto bytes = address.to_v6().to_bytes();
  for (std::size_t i = 8; i < bytes.size(); ++i) bytes[i] = 0;
  return boost::asio::ip::address_v6(bytes).to_string() + "/64";
}

}  // namespace server

// A small blocking HTTP client for the server's tests, over loopback only.
#ifndef TESSIK_TESTS_SERVE_SERVECLIENT_H_
#define TESSIK_TESTS_SERVE_SERVECLIENT_H_

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace serve_test {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

struct Reply {
  unsigned status = 0;  // 0: no answer (the connection closed)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

inline tcp::socket Connect(asio::io_context& io, uint16_t port) {
  tcp::socket socket(io);
  socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  return socket;
}

// Sends `raw` as it is and reads one response.
inline Reply Raw(uint16_t port, const std::string& raw) {
  asio::io_context io;
  tcp::socket socket = Connect(io, port);
  asio::write(socket, asio::buffer(raw));
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(64 * 1024 * 1024);
  parser.skip(raw.rfind("HEAD", 0) == 0);
  beast::error_code e;
  http::read(socket, buffer, parser, e);
  Reply reply;
  if (e && !parser.is_header_done()) return reply;
  const auto& res = parser.get();
  reply.status = res.result_int();
  for (const auto& field : res) {
    std::string name(field.name_string().data(), field.name_string().size());
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    reply.headers[name] = std::string(field.value().data(), field.value().size());
  }
  reply.body = res.body();
  return reply;
}

inline Reply Get(uint16_t port, const std::string& target,
                 const std::vector<std::pair<std::string, std::string>>& headers = {},
                 const std::string& method = "GET") {
  std::string raw = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
  for (const auto& [name, value] : headers) raw += name + ": " + value + "\r\n";
  return Raw(port, raw + "Connection: close\r\n\r\n");
}

// An event stream, read event by event.
class Stream {
 public:
  Stream(uint16_t port, const std::string& target) : socket_(Connect(io_, port)) {
    const std::string raw = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                            "\r\nAccept: text/event-stream\r\n\r\n";
    asio::write(socket_, asio::buffer(raw));
  }
  // The next event's name and data; {"", ""} once the stream has ended.
  std::pair<std::string, std::string> Next() {
    for (;;) {
      const size_t end = text_.find("\n\n", at_);
      if (end != std::string::npos) {
        std::string event = text_.substr(at_, end - at_);
        at_ = end + 2;
        if (!headerSeen_) {  // the response's header, ended by a blank line
          headerSeen_ = true;
          status_ = event.substr(0, event.find('\n'));
          continue;
        }
        std::string name, data;
        size_t line = 0;
        while (line < event.size()) {
          const size_t stop = std::min(event.find('\n', line), event.size());
          const std::string l = event.substr(line, stop - line);
          if (l.rfind("event: ", 0) == 0) name = l.substr(7);
          if (l.rfind("data: ", 0) == 0) data = l.substr(6);
          line = stop + 1;
        }
        if (name.empty()) continue;  // a comment
        return {name, data};
      }
      if (!Read()) return {"", ""};
    }
  }
  // The response's status line, once its header has come.
  const std::string& StatusLine() {
    while (!headerSeen_) {
      const size_t end = text_.find("\n\n");
      if (end != std::string::npos) {
        headerSeen_ = true;
        status_ = text_.substr(0, text_.find('\n'));
        at_ = end + 2;
        break;
      }
      if (!Read()) break;
    }
    return status_;
  }
  void Close() {
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

 private:
  bool Read() {
    char chunk[4096];
    beast::error_code e;
    const size_t n = socket_.read_some(asio::buffer(chunk), e);
    if (e) return false;
    for (size_t i = 0; i < n; ++i) {
      if (chunk[i] != '\r') text_ += chunk[i];
    }
    return true;
  }

  asio::io_context io_;
  tcp::socket socket_;
  std::string text_, status_;
  size_t at_ = 0;
  bool headerSeen_ = false;
};

}  // namespace serve_test

#endif  // TESSIK_TESTS_SERVE_SERVECLIENT_H_

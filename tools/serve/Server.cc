#include "serve/Server.h"

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <thread>

#include "common/Text.h"
#include "kit/Text.h"
#include "serve/Answers.h"
#include "serve/Html.h"
#include "sources/Sources.h"
#include "tessik/TessikClient.h"
#include "words/Words.h"

namespace tessik_serve {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Request = http::request<http::empty_body>;

namespace {

constexpr size_t kHeaderLimit = 8 * 1024;
constexpr auto kIdle = std::chrono::seconds(15);          // a connection that sends nothing is closed
constexpr auto kAbortGrace = std::chrono::seconds(1);     // after the timeout, for the abort itself
constexpr auto kDrain = std::chrono::milliseconds(500);   // at stop, for the last answers to be written
constexpr auto kStopWait = std::chrono::milliseconds(1500);

std::string_view Sv(beast::string_view v) { return {v.data(), v.size()}; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// Compares without leaking, through its time, how much of a secret matched.
bool SameSecret(std::string_view a, std::string_view b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  return diff == 0;
}

std::string Event(const char* name, const std::string& data) {
  std::string text = "event: ";
  text += name;
  text += "\ndata: ";
  // One line: the JSON writers write no newline inside.
  for (char c : data) {
    if (c != '\n') text += c;
  }
  return text + "\n\n";
}

// The description format's fixed namespace, as browsers expect it.
constexpr const char* kOpenSearchNamespace = "http://a9.com/-/" "sp" "ec/opensearch/1.1/";

std::string OpenSearch(const std::string& base) {
  const std::string b = tessik_plugins::XmlEscape(base);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"" + std::string(kOpenSearchNamespace) + "\">\n"
         "  <ShortName>Tessik</ShortName>\n"
         "  <Description>Search your documents with Tessik</Description>\n"
         "  <InputEncoding>UTF-8</InputEncoding>\n"
         "  <Url type=\"text/html\" method=\"get\" template=\"" + b + "/search?q={searchTerms}&amp;format=html\"/>\n"
         "  <Url type=\"application/json\" method=\"get\" template=\"" + b + "/search?q={searchTerms}\"/>\n"
         "</OpenSearchDescription>\n";
}

}  // namespace

class Server::Impl {
 public:
  Impl(ServerOptions options, Catalogue catalogue)
      : o_(std::move(options)),
        searches_(std::move(catalogue), o_.maxSearches, o_.queue, o_.pollMs),
        acceptor_(io_),
        signals_(io_) {}

  ~Impl() {
    if (stopper_.joinable()) stopper_.join();
    words_.join();
  }

  uint16_t Listen();
  bool Run();
  void Stop() {
    asio::post(io_, [this] { BeginStop(); });
  }

  class Connection;

  // Declared in the order that lets each go safely: the connections that
  // the io_context's handlers still hold count themselves out of members
  // declared before it; the workers and the word look-ups, which post to
  // it, go before it.
  const ServerOptions o_;
  // On the serving thread only.
  size_t connections_ = 0, streams_ = 0;
  bool stopping_ = false;
  std::vector<std::weak_ptr<Connection>> open_;
  uint16_t port_ = 0;
  std::atomic<bool> clean_{true};
  asio::io_context io_{1};
  Searches searches_;
  asio::thread_pool words_{1};  // the word look-ups: library calls, off the serving thread
  tcp::acceptor acceptor_;
  asio::signal_set signals_;
  std::thread stopper_;

  void Accept();
  void BeginStop();
  bool HostPasses(std::string_view host) const;
  void Log(const Request& request, unsigned status, double ms, size_t hits) const;
};

// One client connection: requests read one after another; a search's
// answer or stream is written when the worker hands it over.
class Server::Impl::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Impl& server, tcp::socket socket) : s_(server), stream_(std::move(socket)), deadline_(server.io_) {}

  void Start() { Read(); }
  void Close() {
    if (search_) search_->stop = true;
    if (!busy_) Shut();
    closing_ = true;
  }

 private:
  Impl& s_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  Request request_;
  Clock::time_point began_;
  std::shared_ptr<Search> search_;  // the one running for this connection
  std::shared_ptr<Connection> self_;  // while search_ runs
  asio::steady_timer deadline_;
  bool busy_ = false;      // a request is being answered
  bool closing_ = false;   // no further request
  bool streaming_ = false;
  bool gone_ = false;      // the client went away, or the socket failed
  std::deque<std::string> pending_;  // event texts not yet written
  bool writing_ = false;
  bool finished_ = false;  // the stream's last event is queued
  char scratch_[256];

  void Read() {
    if (closing_ || s_.stopping_) return Shut();
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    stream_.expires_after(kIdle);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code e, size_t) { self->OnRead(e); });
  }

  void OnRead(beast::error_code e) {
    began_ = Clock::now();
    if (e == http::error::end_of_stream || e == beast::error::timeout || e == asio::error::operation_aborted ||
        e == asio::error::connection_reset || e == asio::error::eof)
      return Shut();
    request_ = parser_->release();
    if (e == http::error::header_limit) return Refuse(431, "the request's headers are too large");
    if (e == http::error::unexpected_body || e == http::error::body_limit)
      return Refuse(413, "a request carries no body");
    if (e) return Refuse(400, "a malformed request: " + e.message());
    // Content-Length: 0 is no body; anything more is one, read or not.
    if (request_.has_content_length() || request_.chunked()) {
      const std::string_view length = Sv(request_[http::field::content_length]);
      if (request_.chunked() || (length != "0" && !length.empty())) return Refuse(413, "a request carries no body");
    }
    busy_ = true;
    Route();
  }

  void Refuse(unsigned status, const std::string& message) {
    closing_ = true;
    busy_ = true;
    Send(ErrorAnswer(status, message));
  }

  std::string Target() const { return std::string(Sv(request_.target())); }
  std::string Path() const {
    const std::string t = Target();
    return t.substr(0, t.find('?'));
  }
  std::string QueryString() const {
    const std::string t = Target();
    const size_t q = t.find('?');
    return q == std::string::npos ? "" : t.substr(q + 1);
  }

  std::string Cookie(std::string_view name) const {
    const std::string all(Sv(request_[http::field::cookie]));
    for (size_t at = 0; at < all.size();) {
      const size_t end = std::min(all.find(';', at), all.size());
      std::string_view pair(all.data() + at, end - at);
      while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
      if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
        return std::string(pair.substr(name.size() + 1));
      at = end + 1;
    }
    return {};
  }

  void Route() {
    const std::string path = Path();
    if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
      closing_ = true;
      return Send(ErrorAnswer(405, "only GET and HEAD"));
    }
    if (!s_.HostPasses(Sv(request_[http::field::host])))
      return Send(ErrorAnswer(403, "this Host is not the server's: use http://127.0.0.1:" + std::to_string(s_.port_) + "/"));
    Params params;
    std::string error;
    if (!ParseParams(QueryString(), params, error)) return Send(ErrorAnswer(400, error));
    if (!s_.o_.token.empty()) {
      // The page: ?token= once sets a cookie, because page loads, forms
      // and event streams cannot send a header.
      if (path == "/" && params.size() == 1 && params[0].first == "token" && SameSecret(params[0].second, s_.o_.token)) {
        Answer a{303, "text/plain; charset=utf-8", "signed in\n", 0};
        return Send(std::move(a), "tessik_token=" + s_.o_.token + "; HttpOnly; SameSite=Strict; Path=/");
      }
      const std::string header(Sv(request_[http::field::authorization]));
      const bool bearer = header.rfind("Bearer ", 0) == 0 && SameSecret(header.substr(7), s_.o_.token);
      if (!bearer && !SameSecret(Cookie("tessik_token"), s_.o_.token))
        return Send(ErrorAnswer(401, "a token is needed: Authorization: Bearer <token>, or open /?token=<token> once"));
    }
    static const char* const kPaths[] = {"/",        "/app.js", "/app.css", "/favicon.svg",  "/opensearch.xml",
                                         "/health",  "/synonyms", "/stems", "/search", "/search/stream"};
    if (std::none_of(std::begin(kPaths), std::end(kPaths), [&](const char* p) { return path == p; }))
      return Send(ErrorAnswer(404, "no such page: " + tessik_plugins::CleanText(path)));
    if (path == "/search" || path == "/search/stream") return StartSearch(params, path == "/search/stream");
    if (!params.empty() && path != "/synonyms" && path != "/stems")
      return Send(ErrorAnswer(400, "unknown parameter \"" + tessik_plugins::CleanText(params[0].first) + "\""));
    if (path == "/") return Send({200, "text/html; charset=utf-8", SearchPage(s_.searches_.Served().Names()), 0});
    if (path == "/app.js") return Send({200, "text/javascript; charset=utf-8", kAppJs, 0});
    if (path == "/app.css") return Send({200, "text/css; charset=utf-8", kAppCss, 0});
    if (path == "/favicon.svg") return Send({200, "image/svg+xml", kFavicon, 0});
    if (path == "/opensearch.xml") {
      return Send({200, "application/opensearchdescription+xml",
                   OpenSearch("http://" + std::string(Sv(request_[http::field::host]))), 0});
    }
    if (path == "/health") return Send(Health());
    LookUp(params, path == "/synonyms");
  }

  Answer Health() const {
    nlohmann::json json = {{"version", TESSIK_VERSION_STRING}, {"warm", s_.searches_.Warm()},
                           {"sources", nlohmann::json::array()}};
    const Catalogue& c = s_.searches_.Served();
    const auto loaded = s_.searches_.Loaded();
    auto status = [&](const std::string& key) -> std::optional<int32_t> {
      for (const auto& [k, v] : loaded) {
        if (k == key) return v;
      }
      return std::nullopt;
    };
    for (const tessik_cli::Source& source : c.list.sources) {
      const tessik_cli::SourceState state = tessik_cli::Describe(c.list, source);
      std::string text = state.state;
      if (const auto st = status(source.engine); st && *st != TESSIK_OK)
        text = "plugin not loaded: " + tessik_cli::DescribeStatus(*st);
      json["sources"].push_back({{"name", source.name}, {"engine", source.engine}, {"documents", state.documents},
                                 {"indexed", state.indexed}, {"state", text}});
    }
    for (const std::string& plugin : c.plugins) {
      const auto st = status(plugin);
      json["sources"].push_back({{"name", std::filesystem::path(plugin).stem().string()}, {"engine", "plugin"},
                                 {"state", !st                ? "loading"
                                           : *st == TESSIK_OK ? "ready"
                                                              : "plugin not loaded: " + tessik_cli::DescribeStatus(*st)}});
    }
    return {200, "application/json", json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n", 0};
  }

  void LookUp(const Params& params, bool synonyms) {
    if (params.size() != 1 || params[0].first != "word" || params[0].second.empty() ||
        params[0].second.size() > kMostQueryBytes)
      return Send(ErrorAnswer(400, "give one word: ?word=W"));
    const std::string word = params[0].second;
    asio::post(s_.words_, [self = shared_from_this(), word, synonyms]() mutable {
      std::vector<std::string> found;
      const int32_t status = tessik_cli::LookUpWords(
          synonyms ? tessik_cli::WordLookUp::kSynonyms : tessik_cli::WordLookUp::kStems, word, found);
      Answer answer = status == TESSIK_OK ? ListAnswer(found)
                                          : ErrorAnswer(500, "the word look-up failed: " + tessik_cli::DescribeStatus(status));
      // The connection is handed on whole, never let go here: its last
      // owner must be the serving thread, which alone may close it.
      asio::io_context& io = self->s_.io_;
      asio::post(io, [self = std::move(self), answer = std::move(answer)]() mutable { self->Send(std::move(answer)); });
    });
  }

  void StartSearch(const Params& params, bool stream) {
    auto search = std::make_shared<Search>();
    std::string error;
    if (!ReadSearchRequest(params, s_.searches_.Served().Names(), search->request, error))
      return Send(ErrorAnswer(400, error));
    if (stream && s_.streams_ >= s_.o_.maxStreams)
      return Send(ErrorAnswer(503, "too many streams are open"), "", true);
    search->stream = stream;
    std::weak_ptr<Connection> weak = weak_from_this();
    asio::io_context& io = s_.io_;
    search->onAnswer = [weak, &io](Answer&& answer) {
      asio::post(io, [weak, answer = std::move(answer)]() mutable {
        if (auto c = weak.lock()) c->Finish(std::move(answer));
      });
    };
    if (stream) {
      search->onEvent = [weak, &io](const char* name, std::string data) {
        asio::post(io, [weak, text = Event(name, data)]() mutable {
          if (auto c = weak.lock()) c->Queue(std::move(text));
        });
      };
    }
    switch (s_.searches_.Submit(search)) {
      case Searches::Admit::kFull: return Send(ErrorAnswer(503, "too many searches are waiting"), "", true);
      case Searches::Admit::kStopping: return Send(ErrorAnswer(503, "the server is stopping"));
      case Searches::Admit::kQueued: break;
    }
    search_ = search;
    // Nothing else may hold the connection while its search runs (the
    // worker holds it weakly, from its own thread): it holds itself until
    // the answer is written, on this thread.
    self_ = shared_from_this();
    if (stream) BeginStream();
    deadline_.expires_after(s_.o_.timeout);
    deadline_.async_wait([self = shared_from_this()](beast::error_code e) {
      if (!e) self->TimedOut(false);
    });
  }

  // The timeout passed: the search is aborted and answers with what had
  // arrived; one that the library has not even started (a lock another
  // process holds, or no free worker) is answered here.
  void TimedOut(bool hard) {
    if (!search_) return;
    search_->timedOut = true;
    search_->stop = true;
    if (!hard && search_->started) {
      deadline_.expires_after(kAbortGrace);
      deadline_.async_wait([self = shared_from_this()](beast::error_code e) {
        if (!e) self->TimedOut(true);
      });
      return;
    }
    if (!search_->Claim()) return;
    // Taken by a worker and still not answered: its library call waits
    // for the machine-wide lock.
    Finish(ErrorAnswer(503, search_->picked
                                ? "another process holds the search lock (a tessik stopped with Ctrl-Z?): the "
                                  "search could not run within the timeout"
                                : "every search worker is busy: the search could not start within the timeout"),
           true);
  }

  void BeginStream() {
    streaming_ = true;
    ++s_.streams_;
    auto header = std::make_shared<http::response<http::empty_body>>(http::status::ok, request_.version());
    Decorate(*header);
    header->set(http::field::content_type, "text/event-stream");
    header->set(http::field::cache_control, "no-cache");
    header->keep_alive(false);
    closing_ = true;
    auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*header);
    writing_ = true;
    stream_.expires_never();
    http::async_write_header(stream_, *serializer,
                             [self = shared_from_this(), header, serializer](beast::error_code e, size_t) {
                               self->writing_ = false;
                               if (e) return self->Gone();
                               self->Watch();
                               self->WriteNext();
                             });
  }

  // A read while the stream runs: the client sends nothing more, so its
  // completion means it went away.
  void Watch() {
    stream_.async_read_some(asio::buffer(scratch_), [self = shared_from_this()](beast::error_code e, size_t) {
      if (e) return self->Gone();
      if (!self->gone_) self->Watch();
    });
  }

  void Gone() {
    gone_ = true;
    if (search_) search_->stop = true;
    pending_.clear();
    if (!writing_ && finished_) Shut();
  }

  void Queue(std::string text) {
    if (gone_ || finished_) return;
    pending_.push_back(std::move(text));
    WriteNext();
  }

  void WriteNext() {
    if (writing_ || !streaming_) return;
    if (pending_.empty()) {
      if (finished_) Shut();
      return;
    }
    writing_ = true;
    auto text = std::make_shared<std::string>(std::move(pending_.front()));
    pending_.pop_front();
    asio::async_write(stream_, asio::buffer(*text), [self = shared_from_this(), text](beast::error_code e, size_t) {
      self->writing_ = false;
      if (e) return self->Gone();
      self->WriteNext();
    });
  }

  // The search's answer, from its worker (or the timeout).
  void Finish(Answer&& answer, bool retry = false) {
    deadline_.cancel();
    const size_t hits = answer.hits;
    search_.reset();
    // Kept until this returns; the pending writes hold it from here.
    const auto keep = std::move(self_);
    if (!streaming_) return Send(std::move(answer), "", retry);
    s_.Log(request_, answer.status, std::chrono::duration<double, std::milli>(Clock::now() - began_).count(), hits);
    finished_ = true;
    if (gone_) return Shut();
    pending_.push_back(answer.contentType == "text/event-stream" ? Event("done", answer.body)
                                                                   : Event("failure", answer.body));
    WriteNext();
  }

  template <class Message>
  void Decorate(Message& m) const {
    m.set(http::field::server, "tessik");
    m.set("Content-Security-Policy", "default-src 'self'");
    m.set("X-Content-Type-Options", "nosniff");
    m.set("Referrer-Policy", "no-referrer");
    if (!s_.o_.cors.empty() && Sv(request_[http::field::origin]) == s_.o_.cors) {
      m.set(http::field::access_control_allow_origin, s_.o_.cors);
      m.set(http::field::vary, "Origin");
    }
  }

  void Send(Answer&& answer, const std::string& cookie = "", bool retry = false) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began_).count();
    s_.Log(request_, answer.status, ms, answer.hits);
    auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(answer.status),
                                                                   request_.version() == 10 ? 10 : 11);
    Decorate(*res);
    res->set(http::field::content_type, answer.contentType);
    res->set(http::field::cache_control, "no-store");
    if (answer.status == 405) res->set(http::field::allow, "GET, HEAD");
    if (answer.status == 503 && retry) res->set(http::field::retry_after, "1");
    if (answer.status == 303) res->set(http::field::location, "/");
    if (!cookie.empty()) res->set(http::field::set_cookie, cookie);
    const size_t size = answer.body.size();
    if (request_.method() != http::verb::head) res->body() = std::move(answer.body);
    res->content_length(size);
    res->keep_alive(request_.keep_alive() && !closing_ && !s_.stopping_);
    stream_.expires_after(kIdle);
    http::async_write(stream_, *res, [self = shared_from_this(), res](beast::error_code e, size_t) {
      self->busy_ = false;
      if (e || !res->keep_alive()) return self->Shut();
      self->Read();
    });
  }

  void Shut() {
    if (streaming_) {
      streaming_ = false;
      --s_.streams_;
    }
    if (!stream_.socket().is_open()) return;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
    deadline_.cancel();
  }

 public:
  ~Connection() {
    Shut();
    --s_.connections_;
  }
};

bool Server::Impl::HostPasses(std::string_view host) const {
  // The name without its port; a bracketed IPv6 address keeps its brackets.
  std::string_view name = host;
  const size_t colon = name.rfind(':');
  if (colon != std::string_view::npos && name.find(']', colon) == std::string_view::npos) {
    if (name.substr(colon + 1) != std::to_string(port_)) return false;
    name = name.substr(0, colon);
  }
  if (name.empty()) return false;
  if (SameText(name, "localhost") || name == "127.0.0.1" || name == "[::1]") return true;
  if (SameText(name, o_.host)) return true;
  return std::any_of(o_.hosts.begin(), o_.hosts.end(), [&](const std::string& h) { return SameText(name, h); });
}

void Server::Impl::Log(const Request& request, unsigned status, double ms, size_t hits) const {
  if (o_.log == nullptr) return;
  std::string target(Sv(request.target()));
  if (!o_.logQueries) target = target.substr(0, target.find('?'));
  const std::string method(Sv(request.method_string()));
  std::fprintf(o_.log, "%s %s %s %u %.1f ms %zu hits\n", tessik_plugins::Iso8601(std::chrono::system_clock::now()).c_str(), method.empty() ? "-" : method.c_str(),
               tessik_plugins::CleanText(target).c_str(), status, ms, hits);
  std::fflush(o_.log);
}

uint16_t Server::Impl::Listen() {
  beast::error_code e;
  const auto address = asio::ip::make_address(o_.host, e);
  if (e) throw std::runtime_error("cannot listen on " + o_.host + ": not an IP address");
  const tcp::endpoint endpoint(address, o_.port);
  acceptor_.open(endpoint.protocol(), e);
  if (!e) acceptor_.set_option(asio::socket_base::reuse_address(true), e);
  if (!e) acceptor_.bind(endpoint, e);
  if (!e) acceptor_.listen(asio::socket_base::max_listen_connections, e);
  if (e) throw std::runtime_error("cannot listen on " + o_.host + ":" + std::to_string(o_.port) + ": " + e.message());
  port_ = acceptor_.local_endpoint().port();
  searches_.Start(o_.timeout);
  return port_;
}

void Server::Impl::Accept() {
  acceptor_.async_accept([this](beast::error_code e, tcp::socket socket) {
    if (e || stopping_) return;
    if (connections_ >= o_.maxConnections) {
      // Over the bound: closed at once, before anything is read.
      beast::error_code ignored;
      socket.close(ignored);
    } else {
      ++connections_;
      auto c = std::make_shared<Connection>(*this, std::move(socket));
      std::erase_if(open_, [](const auto& w) { return w.expired(); });
      open_.push_back(c);
      c->Start();
    }
    Accept();
  });
}

void Server::Impl::BeginStop() {
  if (stopping_) return;
  stopping_ = true;
  beast::error_code ignored;
  acceptor_.close(ignored);
  signals_.cancel(ignored);
  // The workers are stopped off this thread, which still writes the
  // answers they give while stopping.
  stopper_ = std::thread([this] {
    clean_ = searches_.Stop(o_.timeout > kStopWait ? kStopWait : o_.timeout);
    asio::post(io_, [this] {
      for (const auto& w : open_) {
        if (auto c = w.lock()) c->Close();
      }
      auto timer = std::make_shared<asio::steady_timer>(io_, kDrain);
      timer->async_wait([this, timer](beast::error_code) { io_.stop(); });
    });
  });
}

bool Server::Impl::Run() {
  if (o_.stopOnSignals) {
    signals_.add(SIGINT);
    signals_.add(SIGTERM);
    signals_.async_wait([this](beast::error_code e, int) {
      if (!e) BeginStop();
    });
  }
  Accept();
  io_.run();
  if (stopper_.joinable()) stopper_.join();
  return clean_;
}

Server::Server(ServerOptions options, Catalogue catalogue)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(catalogue))) {}
Server::~Server() = default;
uint16_t Server::Listen() { return impl_->Listen(); }
bool Server::Run() { return impl_->Run(); }
void Server::Stop() { impl_->Stop(); }

}  // namespace tessik_serve

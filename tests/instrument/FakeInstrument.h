// A small SCPI instrument on 127.0.0.1 for the device-layer tests: raw
// socket transport, one client at a time (a cleared session reconnects),
// messages ending in a line feed outside definite-length blocks, commands
// split at ';' outside quotes. It keeps an in-memory file system keyed by
// full instrument path, an error queue, a journal of every command (blocks
// as "<head>#<len>") and a few injectable faults.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace cz::test {

class FakeInstrument {
 public:
  FakeInstrument(std::string idn, std::string options) : idn_(std::move(idn)), options_(std::move(options)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 4);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    dirs_ = {"D:\\", "/var/", "/var/user/", "/var/nerrin/", "/hdd/"};
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeInstrument() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }

  std::string Resource() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }

  // ---- state, read and set by tests (under the lock) ----
  std::string File(const std::string& path) {
    std::lock_guard<std::mutex> g(mu_);
    auto it = files_.find(path);
    return it == files_.end() ? std::string("<missing>") : it->second;
  }
  bool HasFile(const std::string& path) {
    std::lock_guard<std::mutex> g(mu_);
    return files_.count(path) != 0;
  }
  void PutFile(const std::string& path, const std::string& bytes) {
    std::lock_guard<std::mutex> g(mu_);
    files_[path] = bytes;
  }
  std::vector<std::string> Journal() {
    std::lock_guard<std::mutex> g(mu_);
    return journal_;
  }
  void ClearJournal() {
    std::lock_guard<std::mutex> g(mu_);
    journal_.clear();
  }
  std::vector<double> List(const std::string& key) {
    std::lock_guard<std::mutex> g(mu_);
    return lists_[key];
  }
  int Connects() const { return connects_; }

  // ---- faults ----
  // "*OPC?" answered "0" in a message holding this text.
  void OpcZeroOn(const std::string& text) { Set(opcZeroOn_, text); }
  // Queue this error after a command holding the text.
  void ErrorAfter(const std::string& text, const std::string& error) {
    std::lock_guard<std::mutex> g(mu_);
    errorOn_ = text;
    errorText_ = error;
  }
  // Close the connection once a block has delivered this many bytes.
  void DropBlockAfter(std::size_t bytes) { dropAfter_ = bytes; }
  // Answer every query that starts with `prefix` with these bytes as they
  // stand (NULs and line feeds included), the terminating line feed added.
  void Answer(const std::string& prefix, const std::string& bytes) {
    std::lock_guard<std::mutex> g(mu_);
    answers_[prefix] = bytes;
  }
  // Once: the reply to a message holding this text goes out without its
  // line feed and is followed by bytes that never end, as fast as the
  // socket takes them (everyMs 0) or one byte every everyMs, until the
  // client drops the connection.
  void BabbleAfter(const std::string& text, int everyMs) {
    std::lock_guard<std::mutex> g(mu_);
    babbleOn_ = text;
    babbleEveryMs_ = everyMs;
  }
  // Put an entry into the error queue.
  void QueueError(const std::string& e) {
    std::lock_guard<std::mutex> g(mu_);
    errors_.push_back(e);
  }

 private:
  void Set(std::string& field, const std::string& v) {
    std::lock_guard<std::mutex> g(mu_);
    field = v;
  }

  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      ++connects_;
      in_.clear();
      Session(fd);
      ::close(fd);
    }
  }

  // Buffered input of the current connection.
  bool Fill(int fd) {
    for (;;) {
      if (stop_) return false;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[65536];
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return false;
      in_.append(buf, static_cast<std::size_t>(n));
      return true;
    }
  }
  bool Take(int fd, std::size_t n, std::string* out) {
    while (in_.size() < n) {
      if (!Fill(fd)) return false;
    }
    out->append(in_, 0, n);
    in_.erase(0, n);
    return true;
  }

  // Reads one message (to the line feed outside a block); false on close.
  bool ReadMessage(int fd, std::string* msg) {
    msg->clear();
    bool inQuote = false;
    for (;;) {
      std::string c;
      if (!Take(fd, 1, &c)) return false;
      msg->push_back(c[0]);
      if (c[0] == '\'') inQuote = !inQuote;
      if (!inQuote && c[0] == '#') {
        std::string n;
        if (!Take(fd, 1, &n)) return false;
        msg->push_back(n[0]);
        std::string digits;
        if (!Take(fd, static_cast<std::size_t>(n[0] - '0'), &digits)) return false;
        *msg += digits;
        std::size_t len = digits.empty() ? 0 : std::stoul(digits);
        if (dropAfter_ && len >= dropAfter_) {
          std::string part;
          Take(fd, dropAfter_, &part);
          dropAfter_ = 0;
          in_.clear();
          return false;
        }
        if (!Take(fd, len, msg)) return false;
        continue;
      }
      if (c[0] == '\n' && !inQuote) {
        msg->pop_back();
        return true;
      }
    }
  }

  void Session(int fd) {
    std::string msg;
    while (ReadMessage(fd, &msg)) {
      std::string reply;
      replied_ = false;
      for (const std::string& cmd : Split(msg)) Execute(cmd, msg, &reply);
      bool babble = false;
      {
        std::lock_guard<std::mutex> g(mu_);
        babble = !babbleOn_.empty() && msg.find(babbleOn_) != std::string::npos;
        if (babble) babbleOn_.clear();
      }
      if (babble) {
        Babble(fd, reply);
        return;
      }
      if (replied_) {
        reply.push_back('\n');
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
      }
    }
  }

  // Sends head, then filler bytes until the peer is gone or the fake stops.
  void Babble(int fd, std::string head) {
    const std::string filler(babbleEveryMs_ > 0 ? 1 : 65536, 'z');
    for (std::string out = head + filler; !stop_; out = filler) {
      std::size_t at = 0;
      while (at < out.size() && !stop_) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        if (p.revents & (POLLERR | POLLHUP)) return;
        ssize_t n = ::send(fd, out.data() + at, out.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return;
        if (n > 0) at += static_cast<std::size_t>(n);
      }
      if (babbleEveryMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(babbleEveryMs_));
    }
  }

  static std::vector<std::string> Split(const std::string& msg) {
    std::vector<std::string> out;
    std::string cur;
    bool q = false;
    for (std::size_t i = 0; i < msg.size(); ++i) {
      char c = msg[i];
      if (c == '#' && !q && i + 1 < msg.size() && msg[i + 1] >= '1' && msg[i + 1] <= '9') {
        std::size_t n = msg[i + 1] - '0';
        std::size_t len = std::stoul(msg.substr(i + 2, n));
        cur += msg.substr(i, 2 + n + len);
        i += 1 + n + len;
        continue;
      }
      if (c == '\'') q = !q;
      if (c == ';' && !q) {
        out.push_back(Trim(cur));
        cur.clear();
      } else {
        cur.push_back(c);
      }
    }
    if (!Trim(cur).empty()) out.push_back(Trim(cur));
    return out;
  }
  static std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
  }
  // The first quoted SCPI string of a command, quotes undoubled.
  static std::string Quoted(const std::string& cmd) {
    std::string out;
    std::size_t i = cmd.find('\'');
    if (i == std::string::npos) return out;
    for (++i; i < cmd.size(); ++i) {
      if (cmd[i] == '\'') {
        if (i + 1 < cmd.size() && cmd[i + 1] == '\'') {
          out.push_back('\'');
          ++i;
          continue;
        }
        break;
      }
      out.push_back(cmd[i]);
    }
    return out;
  }
  std::string Resolve(const std::string& name) const {
    if (name.size() > 1 && name[1] == ':') return name;
    if (!name.empty() && name[0] == '/') return name;
    return cwd_ + name;
  }
  static std::string BlockData(const std::string& cmd, std::string* head) {
    std::size_t h = cmd.find('#');
    std::size_t n = cmd[h + 1] - '0';
    *head = cmd.substr(0, h + 2 + n);
    return cmd.substr(h + 2 + n);
  }

  void Execute(const std::string& cmd, const std::string& msg, std::string* reply) {
    std::lock_guard<std::mutex> g(mu_);
    std::string head;
    bool block = cmd.find('#') != std::string::npos && cmd.find('\'') > cmd.find('#');
    block = block || cmd.find(",#") != std::string::npos;
    std::string data = block ? BlockData(cmd, &head) : std::string();
    journal_.push_back(block ? head : cmd);
    auto add = [&](const std::string& r) {
      *reply += (replied_ ? ";" : "") + r;
      replied_ = true;
    };
    if (!errorOn_.empty() && cmd.find(errorOn_) != std::string::npos) errors_.push_back(errorText_);
    for (const auto& [prefix, bytes] : answers_) {
      if (cmd.rfind(prefix, 0) == 0) return add(bytes);
    }
    if (cmd == "*IDN?") add(idn_);
    else if (cmd == "*OPT?") add(options_);
    else if (cmd == "*CLS") errors_.clear();
    else if (cmd == "*OPC?") add(!opcZeroOn_.empty() && msg.find(opcZeroOn_) != std::string::npos ? "0" : "1");
    else if (cmd == ":SYST:ERR?") {
      if (errors_.empty()) add("0,\"No error\"");
      else { add(errors_.front()); errors_.pop_front(); }
    } else if (cmd.rfind(":MMEM:MSIS", 0) == 0) drive_ = Quoted(cmd);
    else if (cmd.rfind(":MMEM:CDIR", 0) == 0) {
      std::string d = Quoted(cmd);
      std::string full = (d.size() > 1 && d[1] == ':') || d[0] == '/' ? d : drive_ + d;
      if (full.size() == 2 && full[1] == ':') full += '\\';  // "D:" is the drive's top
      if (dirs_.count(full)) cwd_ = full;
      else errors_.push_back("-256,\"Directory not found\"");
    } else if (cmd.rfind(":MMEM:MDIR", 0) == 0) {
      std::string d = Quoted(cmd);
      dirs_.insert((d.size() > 1 && d[1] == ':') || d[0] == '/' ? d : drive_ + d);
    } else if (cmd.rfind(":MMEM:CAT?", 0) == 0) {
      std::string pat = Quoted(cmd), dir = cwd_, ext;
      if (!pat.empty()) {
        std::size_t star = pat.find('*');
        dir = Resolve(pat.substr(0, star));
        ext = pat.substr(star + 1);
        if (ext == ".*") ext.clear();
      }
      std::string list;
      for (auto& [k, v] : files_) {
        if (k.rfind(dir, 0) != 0 || k.find_first_of("\\/", dir.size()) != std::string::npos) continue;
        if (!ext.empty() && (k.size() < ext.size() || k.compare(k.size() - ext.size(), ext.size(), ext) != 0)) continue;
        list += ",\"" + k.substr(dir.size()) + ",BIN," + std::to_string(v.size()) + "\"";
      }
      if (list.empty()) errors_.push_back("469,\"No files found\"");
      add("0,1000000" + list);
    } else if (cmd.rfind("MMEM:DEL", 0) == 0 || cmd.rfind(":MMEM:DEL", 0) == 0) {
      files_.erase(Resolve(Quoted(cmd)));
    } else if (cmd.rfind(":MMEM:DATA?", 0) == 0) {
      auto it = files_.find(Resolve(Quoted(cmd)));
      if (it == files_.end()) errors_.push_back("-256,\"File name not found\"");
      else add("#" + std::to_string(std::to_string(it->second.size()).size()) + std::to_string(it->second.size()) + it->second);
    } else if (cmd.rfind(":MMEM:DATA", 0) == 0 || cmd.rfind("MMEM:DATA", 0) == 0) {
      files_[Resolve(Quoted(cmd))] = data;
    } else if (cmd.find("LIST:FREQ #") != std::string::npos || cmd.find("LIST:POW #") != std::string::npos) {
      std::vector<double> v(data.size() / 8);
      std::memcpy(v.data(), data.data(), v.size() * 8);
      lists_[cmd.find("FREQ") != std::string::npos ? "FREQ" : "POW"] = v;
    } else if (cmd == "STAT:OPER:COND?") add("0");
    else if (cmd.find('?') != std::string::npos) add("0");
  }

  std::string idn_, options_;
  int listen_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  bool replied_ = false;
  std::string in_;
  std::atomic<int> connects_{0};
  std::atomic<std::size_t> dropAfter_{0};
  std::thread thread_;
  std::mutex mu_;
  std::map<std::string, std::string> files_;
  std::map<std::string, std::vector<double>> lists_;
  std::map<std::string, std::string> answers_;
  std::set<std::string> dirs_;
  std::deque<std::string> errors_;
  std::vector<std::string> journal_;
  std::string drive_, cwd_ = "D:\\", opcZeroOn_, errorOn_, errorText_, babbleOn_;
  int babbleEveryMs_ = 0;
};

}  // namespace cz::test

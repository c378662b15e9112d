// Raw SCPI over TCP ("TCPIP[board]::host::port::SOCKET").
//
// Messages end with a line feed. END on a write is a trailing line feed,
// added unless the message already ends with one; the last byte of a
// definite-length block is data, so after a block the line feed is always
// sent. A reply ends at a line feed,
// which counts as END; a scanner follows the reply so that a line feed inside
// an IEEE 488.2 definite-length block ("#<n><length><bytes>") never ends it.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/visa/VisaTransport.h"
#include "platform/visa/VisaNet.h"

namespace {

// Follows the bytes handed to the caller and says which line feed ends a
// message: one outside quotes and outside a definite-length block.
class ReplyScanner {
 public:
  // commands = true for outgoing commands: a block may also follow the
  // blank after the header ("LIST:FREQ #..."), and names in single quotes
  // are strings too.
  explicit ReplyScanner(bool commands = false) : commands_(commands) {}
  // Returns true when byte c ends the message.
  bool Step(uint8_t c) {
    switch (state_) {
      case kStart:
        if (c == '#') {
          state_ = kHash;
          return false;
        }
        state_ = kText;
        return Text(c);
      case kText:
        return Text(c);
      case kHash:
        if (c >= '1' && c <= '9') {
          digits_ = c - '0';
          length_ = 0;
          state_ = kLength;
          return false;
        }
        state_ = kText;  // "#0" (indefinite) and other text: plain reply
        return Text(c);
      case kLength:
        if (c >= '0' && c <= '9') {
          length_ = length_ * 10 + (c - '0');
          if (--digits_ == 0) state_ = length_ > 0 ? kData : kText;
          return false;
        }
        state_ = kText;  // malformed header: plain reply
        return Text(c);
      case kData:
        if (--length_ == 0) state_ = kText;
        return false;
    }
    return false;
  }
  void Reset() {
    state_ = kStart;
    quoted_ = false;
    singleQuoted_ = false;
  }
  // Follows count outgoing bytes (block data is skipped whole); true when
  // the last of them is a line feed that ends the message.
  bool Feed(const uint8_t* data, uint32_t count) {
    bool ended = false;
    uint32_t i = 0;
    while (i < count) {
      if (state_ == kData) {
        const uint64_t left = count - i;
        const uint64_t take = length_ < left ? length_ : left;
        length_ -= take;
        i += static_cast<uint32_t>(take);
        if (length_ == 0) state_ = kText;
        ended = false;
        continue;
      }
      ended = Step(data[i++]);
    }
    return ended;
  }

 private:
  bool Text(uint8_t c) {
    // A line feed inside a quoted string (a file name in a catalogue) is
    // part of the text.
    if (c == '\n' && !quoted_) {
      Reset();
      return true;
    }
    if (c == '"' && !singleQuoted_) quoted_ = !quoted_;
    if (commands_ && c == '\'' && !quoted_) singleQuoted_ = !singleQuoted_;
    const bool separator = c == ',' || (commands_ && c == ' ');
    if (separator && !quoted_ && !singleQuoted_) state_ = kStart;  // a block may begin each data element
    return false;
  }
  enum State { kStart, kText, kHash, kLength, kData };
  State state_ = kStart;
  bool quoted_ = false;
  bool singleQuoted_ = false;
  bool commands_ = false;
  int digits_ = 0;
  uint64_t length_ = 0;
};

class SocketTransport : public VisaTransport {
 public:
  SocketTransport(const VisaResource& res, int fd, VisaSocketReconnect reconnect = nullptr)
      : res_(res), fd_(fd), reconnect_(reconnect) {}
  ~SocketTransport() override { CloseFd(); }

  uint16_t InterfaceType() const override { return VISA_INTF_TCPIP; }

  VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t timeoutMs,
                   uint32_t* written) override {
    *written = 0;
    if (fd_ < 0) return Fail(VISA_ERR_CONN_LOST, "not connected");
    VisaNet_Deadline deadline(timeoutMs);
    uint32_t sent = 0;
    VisaStatus st = VisaNet_SendAll(fd_, data, count, deadline, &sent, &errText_);
    *written = sent;
    if (st < 0) {
      sent_.Reset();
      return Fail(st, errText_);
    }
    // A message may come in several writes (a block in chunks): the
    // scanner follows it up to its END.
    const bool terminated = sent_.Feed(data, count);
    if (!end) return VISA_SUCCESS;
    sent_.Reset();
    if (!terminated) {
      static const uint8_t lf = '\n';
      uint32_t n = 0;
      st = VisaNet_SendAll(fd_, &lf, 1, deadline, &n, &errText_);
      if (st < 0) return Fail(st, errText_);
    }
    return VISA_SUCCESS;
  }

  VisaStatus Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t* got) override {
    *got = 0;
    if (fd_ < 0) return Fail(VISA_ERR_CONN_LOST, "not connected");
    VisaNet_Deadline deadline(timeoutMs);
    uint32_t n = 0;
    while (n < count) {
      if (head_ == buf_.size()) {
        buf_.clear();
        head_ = 0;
        VisaStatus st = Fill(deadline);
        if (st < 0) {
          *got = n;
          return st;
        }
      }
      const uint8_t c = buf_[head_++];
      buffer[n++] = c;
      if (scanner_.Step(c)) {
        *got = n;
        return VISA_SUCCESS;
      }
    }
    *got = n;
    return VISA_SUCCESS_MAX_CNT;
  }

  // A raw socket has no device clear: the connection is made again and all
  // unread input is dropped, so that half a block cannot be taken for commands.
  VisaStatus Clear(uint32_t timeoutMs) override {
    CloseFd();
    buf_.clear();
    head_ = 0;
    scanner_.Reset();
    sent_.Reset();
    std::string detail;
    int fd = -1;
    if (reconnect_ != nullptr) {
      fd = reconnect_();
      if (fd < 0) return Fail(VISA_ERR_CONN_LOST, "no new connection");
      VisaNet_SetBlocking(fd, false);
    } else {
      VisaStatus st = VisaNet_Connect(res_.host, res_.port, timeoutMs, &fd, &detail);
      if (st < 0) return Fail(st, detail);
    }
    fd_ = fd;
    return VISA_SUCCESS;
  }

 private:
  VisaStatus Fill(const VisaNet_Deadline& deadline) {
    uint8_t chunk[65536];
    for (;;) {
      VisaStatus st = VisaNet_WaitReadable(fd_, deadline, &errText_);
      if (st < 0) return Fail(st, errText_);
      ssize_t r = ::recv(fd_, chunk, sizeof chunk, 0);
      if (r > 0) {
        buf_.insert(buf_.end(), chunk, chunk + r);
        return VISA_SUCCESS;
      }
      if (r == 0) return Fail(VISA_ERR_CONN_LOST, "connection closed by the instrument");
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      // A peer that closes with our bytes still unread resets the connection.
      if (errno == ECONNRESET) return Fail(VISA_ERR_CONN_LOST, "connection reset by the instrument");
      return Fail(VISA_ERR_IO, std::strerror(errno));
    }
  }

  VisaStatus Fail(VisaStatus st, const std::string& why) {
    SetDetail(why);
    return st;
  }

  void CloseFd() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  VisaResource res_;
  int fd_ = -1;
  VisaSocketReconnect reconnect_;
  std::vector<uint8_t> buf_;
  std::size_t head_ = 0;
  ReplyScanner scanner_;
  ReplyScanner sent_{true};  // the message being written
  std::string errText_;
};

}  // namespace

VisaStatus VisaSocket_Open(const VisaResource& res, uint32_t timeoutMs, std::unique_ptr<VisaTransport>* out,
                           std::string* detail) {
  int fd = -1;
  VisaStatus st = VisaNet_Connect(res.host, res.port, timeoutMs, &fd, detail);
  if (st < 0) return st;
  *out = std::make_unique<SocketTransport>(res, fd);
  return VISA_SUCCESS;
}

std::unique_ptr<VisaTransport> VisaSocket_Adopt(int fd, const VisaResource& res, VisaSocketReconnect reconnect) {
  VisaNet_SetBlocking(fd, false);
  return std::make_unique<SocketTransport>(res, fd, reconnect);
}

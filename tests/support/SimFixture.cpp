// The loopback simulator as a child process.
#include "tests/support/SimFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/support/TempDir.h"

namespace cz::test {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

void EndWithParent(pid_t parent) {
  // The signal is kept across exec; the check covers a parent that ended
  // before the request was made.
  if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(126);
}

std::string SimExecutablePath() {
  const std::string base = BuildDir() + "/tools/cadenza-sim";
  if (IsExecutableFile(base)) return base;
  if (IsExecutableFile(base + "/cadenza-sim")) return base + "/cadenza-sim";
  return std::string();
}

uint32_t SimCrc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : data) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

SimFixture::~SimFixture() {
  Stop();
  if (!journal_.empty()) ::unlink(journal_.c_str());
}

std::string SimFixture::SocketResource() const {
  return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
}

std::string SimFixture::Vxi11Resource() const { return "TCPIP0::127.0.0.1::inst0::INSTR"; }

bool SimFixture::Start(const SimOptions& options) {
  Stop();
  error_.clear();
  const std::string exe = SimExecutablePath();
  if (exe.empty()) {
    error_ = "cadenza-sim is not built under " + BuildDir() + "/tools";
    return false;
  }
  char name[] = "/tmp/cadenza-sim-journal-XXXXXX";
  int jfd = ::mkstemp(name);
  if (jfd < 0) {
    error_ = "cannot create the journal file";
    return false;
  }
  ::close(jfd);
  if (!journal_.empty()) ::unlink(journal_.c_str());
  journal_ = name;

  std::vector<std::string> args = {exe, "--port", std::to_string(options.port), "--model", options.model,
                                   "--journal", journal_};
  // Given unless asked for the program's own default (the model fully
  // equipped), so that an empty list stays empty.
  if (!options.modelOptions) {
    args.push_back("--options");
    args.push_back(options.options);
  }
  if (options.vxi11) {
    args.push_back("--vxi11-port");
    args.push_back("0");
  }
  if (options.portmap) {
    args.push_back("--portmap-port");
    args.push_back("0");
  }
  for (const std::string& f : options.faults) {
    args.push_back("--fault");
    args.push_back(f);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return false;
  }
  const pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    error_ = "fork failed";
    return false;
  }
  if (pid == 0) {
    EndWithParent(parent);
    ::dup2(out[1], STDOUT_FILENO);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  pid_ = pid;

  // Read "port N" and, with VXI-11, "vxi11-port M".
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const bool havePort = text.find("port ") != std::string::npos && text.find('\n') != std::string::npos;
    const bool haveVxi = !options.vxi11 || text.find("vxi11-port ") != std::string::npos;
    const bool haveMap = !options.portmap || text.find("portmap-port ") != std::string::npos;
    if (havePort && haveVxi && haveMap && text.back() == '\n') break;
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    pollfd p{out[0], POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, left) <= 0) {
      error_ = "cadenza-sim did not report its port: " + text;
      break;
    }
    char buf[256];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) {
      error_ = "cadenza-sim ended before listening: " + text;
      break;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  if (!error_.empty()) {
    Stop();
    return false;
  }
  unsigned p1 = 0, p2 = 0;
  std::sscanf(text.c_str(), "port %u", &p1);
  std::size_t v = text.find("vxi11-port ");
  if (v != std::string::npos) std::sscanf(text.c_str() + v, "vxi11-port %u", &p2);
  unsigned p3 = 0;
  std::size_t m = text.find("portmap-port ");
  if (m != std::string::npos) std::sscanf(text.c_str() + m, "portmap-port %u", &p3);
  port_ = static_cast<uint16_t>(p1);
  vxi11Port_ = static_cast<uint16_t>(p2);
  portmapPort_ = static_cast<uint16_t>(p3);
  return port_ != 0;
}

void SimFixture::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool done = false;
    for (int i = 0; i < 200 && !done; ++i) {
      done = ::waitpid(pid_, &status, WNOHANG) == pid_;
      if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!done) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  port_ = 0;
  vxi11Port_ = 0;
  portmapPort_ = 0;
}

std::vector<std::string> SimFixture::Journal() const {
  std::vector<std::string> lines;
  std::ifstream in(journal_);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> SimFixture::Received() const {
  std::vector<std::string> out;
  for (const std::string& l : Journal()) {
    if (l.compare(0, 5, "RECV ") != 0) continue;
    std::size_t sp = l.find(' ', 5);
    out.push_back(sp == std::string::npos ? std::string() : l.substr(sp + 1));
  }
  return out;
}

}  // namespace cz::test

// GPIB through linux-gpib, loaded at run time ("GPIB[board]::primary[::secondary]::INSTR").
//
// linux-gpib is not part of the distribution, so libgpib.so.0 is opened with
// dlopen() on first use; without it every GPIB open fails with
// VISA_ERR_GPIB_MISSING and the search finds nothing. The entry points are
// the library's documented C interface (ibdev, ibwrt, ibrd, ...); the status
// word bits and time-out codes below are those of that interface.
#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CLocale.h"
#include "platform/visa/VisaTransport.h"

namespace {

// Status word (ibsta) bits.
constexpr int kStaErr = 0x8000;
constexpr int kStaTimo = 0x4000;
constexpr int kStaEnd = 0x2000;

// Time-out codes of ibdev/ibtmo and the limit each stands for, in ms.
constexpr uint32_t kTimeoutLimitMs[] = {0, 1, 1, 1, 1, 1, 3, 10, 30, 100, 300, 1000, 3000,
                                        10000, 30000, 100000, 300000, 1000000};

struct GpibApi {
  bool loaded = false;
  void* handle = nullptr;
  int (*ibdev)(int board, int pad, int sad, int tmo, int eot, int eos) = nullptr;
  int (*ibwrt)(int ud, const void* data, long count) = nullptr;
  int (*ibrd)(int ud, void* data, long count) = nullptr;
  int (*ibclr)(int ud) = nullptr;
  int (*ibloc)(int ud) = nullptr;
  int (*ibonl)(int ud, int online) = nullptr;
  int (*ibtmo)(int ud, int tmo) = nullptr;
  int (*ibeot)(int ud, int eot) = nullptr;
  int (*ibln)(int ud, int pad, int sad, short* found) = nullptr;
  int (*ThreadIbsta)() = nullptr;
  long (*ThreadIbcntl)() = nullptr;
};

template <typename Fn>
bool Bind(void* h, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(::dlsym(h, name));
  return *fn != nullptr;
}

const GpibApi& Api() {
  static GpibApi api;
  static std::once_flag once;
  std::call_once(once, [] {
    void* h = ::dlopen("libgpib.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!h) return;
    bool ok = Bind(h, "ibdev", &api.ibdev) && Bind(h, "ibwrt", &api.ibwrt) && Bind(h, "ibrd", &api.ibrd) &&
              Bind(h, "ibclr", &api.ibclr) && Bind(h, "ibloc", &api.ibloc) && Bind(h, "ibonl", &api.ibonl) &&
              Bind(h, "ibtmo", &api.ibtmo) && Bind(h, "ibeot", &api.ibeot) && Bind(h, "ibln", &api.ibln) &&
              Bind(h, "ThreadIbsta", &api.ThreadIbsta) && Bind(h, "ThreadIbcntl", &api.ThreadIbcntl);
    if (!ok) {
      ::dlclose(h);
      return;
    }
    api.handle = h;
    api.loaded = true;
  });
  return api;
}

// The smallest time-out code whose limit covers ms (0 = none for 0 ms).
int TimeoutCode(uint32_t ms) {
  if (ms == 0) return 0;
  for (int i = 5; i < int(sizeof kTimeoutLimitMs / sizeof kTimeoutLimitMs[0]); ++i)
    if (kTimeoutLimitMs[i] >= ms) return i;
  return 17;
}

class GpibTransport : public VisaTransport {
 public:
  explicit GpibTransport(int ud) : ud_(ud) {}
  ~GpibTransport() override { Api().ibonl(ud_, 0); }

  uint16_t InterfaceType() const override { return VISA_INTF_GPIB; }

  VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t timeoutMs,
                   uint32_t* written) override {
    *written = 0;
    SetTimeout(timeoutMs);
    const int eot = end ? 1 : 0;
    if (eot != eot_) {
      Api().ibeot(ud_, eot);
      eot_ = eot;
    }
    if (count == 0) return VISA_SUCCESS;
    int sta = Api().ibwrt(ud_, data, static_cast<long>(count));
    *written = static_cast<uint32_t>(Api().ThreadIbcntl());
    return Result(sta, false);
  }

  VisaStatus Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t* got) override {
    SetTimeout(timeoutMs);
    int sta = Api().ibrd(ud_, buffer, static_cast<long>(count));
    long n = Api().ThreadIbcntl();
    *got = n < 0 ? 0 : static_cast<uint32_t>(n > long(count) ? count : n);
    return Result(sta, true);
  }

  VisaStatus Clear(uint32_t timeoutMs) override {
    SetTimeout(timeoutMs);
    return Result(Api().ibclr(ud_), false);
  }

  VisaStatus GoToLocal(uint32_t timeoutMs) override {
    SetTimeout(timeoutMs);
    return Result(Api().ibloc(ud_), false);
  }

 private:
  void SetTimeout(uint32_t ms) {
    int code = TimeoutCode(ms);
    if (code != tmoCode_) {
      Api().ibtmo(ud_, code);
      tmoCode_ = code;
    }
  }
  VisaStatus Result(int sta, bool read) {
    if (sta & kStaErr) {
      SetDetail(cz::FormatC("GPIB status 0x%04X", unsigned(sta)));
      return (sta & kStaTimo) ? VISA_ERR_TMO : VISA_ERR_IO;
    }
    if (!read) return VISA_SUCCESS;
    return (sta & kStaEnd) ? VISA_SUCCESS : VISA_SUCCESS_MAX_CNT;
  }

  int ud_;
  int eot_ = 1;
  int tmoCode_ = -1;
};

}  // namespace

bool VisaGpib_Available() { return Api().loaded; }

VisaStatus VisaGpib_Open(const VisaResource& res, uint32_t timeoutMs, std::unique_ptr<VisaTransport>* out,
                         std::string* detail) {
  if (!Api().loaded) {
    detail->clear();
    return VISA_ERR_GPIB_MISSING;
  }
  const int sad = res.secondaryAddress >= 0 ? res.secondaryAddress + 96 : 0;
  int ud = Api().ibdev(res.board, res.primaryAddress, sad, TimeoutCode(timeoutMs), 1, 0);
  if (ud < 0) {
    *detail = cz::FormatC("no GPIB device at board %d address %d", res.board, res.primaryAddress);
    return VISA_ERR_RSRC_NFOUND;
  }
  *out = std::make_unique<GpibTransport>(ud);
  return VISA_SUCCESS;
}

void VisaGpib_List(std::vector<std::string>* found) {
  if (!Api().loaded) return;
  // Boards 0..3; a board that is not configured fails ibln and is skipped.
  for (int board = 0; board < 4; ++board) {
    for (int pad = 1; pad <= 30; ++pad) {
      short listener = 0;
      int sta = Api().ibln(board, pad, 0, &listener);
      if (sta & kStaErr) break;
      if (!listener) continue;
      VisaResource res;
      res.kind = VisaResourceKind::kGpib;
      res.board = board;
      res.primaryAddress = pad;
      found->push_back(VisaResource_Format(res));
    }
  }
}

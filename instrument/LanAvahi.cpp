// DNS-SD discovery through the Avahi client library, loaded at run time so
// that the program runs where the library or its daemon is missing. The
// library's simple poll runs inside Poll on the calling thread, so every
// callback comes from there.
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <dlfcn.h>

#include <chrono>
#include <cstring>

#include "instrument/LanDiscovery.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCommonLibrary = "libavahi-common.so.3";
constexpr const char* kClientLibrary = "libavahi-client.so.3";
constexpr const char* kServiceTypes[] = {"_lxi._tcp", "_vxi-11._tcp", "_scpi-raw._tcp"};

// The library functions used, looked up once per process.
struct AvahiApi {
  decltype(&avahi_simple_poll_new) simplePollNew = nullptr;
  decltype(&avahi_simple_poll_get) simplePollGet = nullptr;
  decltype(&avahi_simple_poll_iterate) simplePollIterate = nullptr;
  decltype(&avahi_simple_poll_free) simplePollFree = nullptr;
  decltype(&avahi_strerror) strerror = nullptr;
  decltype(&avahi_client_new) clientNew = nullptr;
  decltype(&avahi_client_free) clientFree = nullptr;
  decltype(&avahi_client_errno) clientErrno = nullptr;
  decltype(&avahi_service_browser_new) browserNew = nullptr;
  decltype(&avahi_service_browser_free) browserFree = nullptr;
  decltype(&avahi_service_resolver_new) resolverNew = nullptr;
  decltype(&avahi_service_resolver_free) resolverFree = nullptr;
  std::string missing;  // why the library cannot be used; "" when it can
};

template <typename Fn>
bool Bind(void* library, const char* name, Fn* fn, std::string* missing) {
  *fn = reinterpret_cast<Fn>(::dlsym(library, name));
  if (*fn == nullptr && missing->empty()) *missing = std::string(name) + " missing in the Avahi library";
  return *fn != nullptr;
}

const AvahiApi& Api() {
  static const AvahiApi api = [] {
    AvahiApi a;
    void* common = ::dlopen(kCommonLibrary, RTLD_NOW | RTLD_LOCAL);
    void* client = common ? ::dlopen(kClientLibrary, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!common || !client) {
      a.missing = std::string(common ? kClientLibrary : kCommonLibrary) + " cannot be loaded";
      return a;
    }
    Bind(common, "avahi_simple_poll_new", &a.simplePollNew, &a.missing);
    Bind(common, "avahi_simple_poll_get", &a.simplePollGet, &a.missing);
    Bind(common, "avahi_simple_poll_iterate", &a.simplePollIterate, &a.missing);
    Bind(common, "avahi_simple_poll_free", &a.simplePollFree, &a.missing);
    Bind(common, "avahi_strerror", &a.strerror, &a.missing);
    Bind(client, "avahi_client_new", &a.clientNew, &a.missing);
    Bind(client, "avahi_client_free", &a.clientFree, &a.missing);
    Bind(client, "avahi_client_errno", &a.clientErrno, &a.missing);
    Bind(client, "avahi_service_browser_new", &a.browserNew, &a.missing);
    Bind(client, "avahi_service_browser_free", &a.browserFree, &a.missing);
    Bind(client, "avahi_service_resolver_new", &a.resolverNew, &a.missing);
    Bind(client, "avahi_service_resolver_free", &a.resolverFree, &a.missing);
    // The libraries stay loaded for the life of the process.
    return a;
  }();
  return api;
}

class AvahiDiscovery final : public LanDiscoveryProvider {
 public:
  ~AvahiDiscovery() override {
    const AvahiApi& api = Api();
    for (AvahiServiceBrowser* b : browsers_)
      if (b) api.browserFree(b);
    // Freeing the client frees the resolvers still running.
    if (client_) api.clientFree(client_);
    if (poll_) api.simplePollFree(poll_);
  }

  const char* Name() const override { return "Avahi"; }

  bool Start(const std::string& domain, std::string* why) override {
    const AvahiApi& api = Api();
    if (!api.missing.empty()) {
      *why = "service not available (" + api.missing + ")";
      return false;
    }
    poll_ = api.simplePollNew();
    if (!poll_) {
      *why = "service not available (no event loop)";
      return false;
    }
    int error = 0;
    client_ = api.clientNew(api.simplePollGet(poll_), static_cast<AvahiClientFlags>(0), &ClientEvent, this, &error);
    if (!client_) {
      *why = std::string("service not available (") + api.strerror(error) + ")";
      return false;
    }
    start_ = Clock::now();
    for (const char* type : kServiceTypes) {
      AvahiServiceBrowser* b = api.browserNew(client_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type, domain.c_str(),
                                              static_cast<AvahiLookupFlags>(0), &BrowserEvent, this);
      if (!b) {
        Fail(std::string("cannot browse ") + type + ": " + api.strerror(api.clientErrno(client_)));
        continue;
      }
      browsers_.push_back(b);
      ++browsing_;
    }
    if (browsers_.empty()) {
      *why = failure_;
      return false;
    }
    return true;
  }

  void Poll(int waitMs) override {
    if (!poll_ || Done()) return;
    const long left = kDnsSdCollectMaxMs - ElapsedMs();
    const int wait = left <= 0 ? 0 : static_cast<int>(waitMs < left ? waitMs : left);
    // Handles every event that is due; sleeps at most `wait` when none is.
    Api().simplePollIterate(poll_, wait);
  }

  bool Done() const override {
    return clientFailed_ || (browsing_ == 0 && resolving_ == 0) || ElapsedMs() >= kDnsSdCollectMaxMs;
  }
  bool Answered() const override { return answered_; }
  const std::vector<std::string>& Hosts() const override { return hosts_; }
  std::string Failure() const override { return failure_; }

 private:
  long ElapsedMs() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }

  void Fail(const std::string& what) {
    if (!failure_.empty()) failure_ += "; ";
    failure_ += what;
  }

  static void ClientEvent(AvahiClient* client, AvahiClientState state, void* data) {
    auto* self = static_cast<AvahiDiscovery*>(data);
    if (state != AVAHI_CLIENT_FAILURE) return;
    self->clientFailed_ = true;
    self->Fail(std::string("service lost: ") + Api().strerror(Api().clientErrno(client)));
  }

  static void BrowserEvent(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
                           AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                           AvahiLookupResultFlags, void* data) {
    auto* self = static_cast<AvahiDiscovery*>(data);
    const AvahiApi& api = Api();
    switch (event) {
      case AVAHI_BROWSER_NEW:
        self->answered_ = true;
        if (api.resolverNew(self->client_, interface, protocol, name, type, domain, AVAHI_PROTO_UNSPEC,
                            static_cast<AvahiLookupFlags>(0), &ResolverEvent, self))
          ++self->resolving_;
        break;
      case AVAHI_BROWSER_ALL_FOR_NOW:
        self->answered_ = true;
        if (self->browsing_ > 0) --self->browsing_;
        break;
      case AVAHI_BROWSER_FAILURE:
        self->Fail(std::string("browsing ") + (type ? type : "") + " failed: " +
                   api.strerror(api.clientErrno(self->client_)));
        if (self->browsing_ > 0) --self->browsing_;
        break;
      default:  // removals and the cache report change nothing here
        break;
    }
  }

  static void ResolverEvent(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                            const char*, const char*, const char*, const char* hostName, const AvahiAddress*,
                            uint16_t, AvahiStringList*, AvahiLookupResultFlags, void* data) {
    auto* self = static_cast<AvahiDiscovery*>(data);
    if (event == AVAHI_RESOLVER_FOUND && hostName && hostName[0]) {
      bool known = false;
      for (const std::string& h : self->hosts_) known = known || h == hostName;
      if (!known) self->hosts_.push_back(hostName);
    }
    // One answer per service is enough.
    Api().resolverFree(resolver);
    if (self->resolving_ > 0) --self->resolving_;
  }

  AvahiSimplePoll* poll_ = nullptr;
  AvahiClient* client_ = nullptr;
  std::vector<AvahiServiceBrowser*> browsers_;
  int browsing_ = 0;   // browsers that have not yet reported all services
  int resolving_ = 0;  // resolvers still waiting for their host
  bool answered_ = false;
  bool clientFailed_ = false;
  std::string failure_;
  std::vector<std::string> hosts_;
  Clock::time_point start_ = Clock::now();
};

}  // namespace

std::unique_ptr<LanDiscoveryProvider> NewAvahiDiscovery() { return std::make_unique<AvahiDiscovery>(); }

#pragma once

// The Service column: which service holds a row's endpoint.

#include "connections/endpoint_key.h"
#include "platform/iphelper.h"
#include "platform/services.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vq::connections {

// A row of an owner-module table, for the look-up of its service.
struct ServiceQuery {
    Protocol protocol = Protocol::None;
    const void* entry = nullptr;  // the table's row, of the protocol's owner-module layout
    std::uint32_t processId = 0;
    std::optional<std::uint64_t> processStartTime;
    std::uint64_t ownerTag = 0;        // the first word of the row's owner-module information
    std::wstring_view processFileName;  // of the row's process, as its caption shows it
};

using ServiceResolver = std::function<std::wstring(const ServiceQuery&)>;

// The service of each process and owner tag, looked up once and kept, as
// the process paths are:
//   1. the owner-module look-up of the row's protocol, where the system has
//      it: its module name, when it is not the process's file name;
//   2. otherwise the running services that the process hosts, their names
//      joined by ", " in the service manager's order; the services are
//      listed at most once per pass, and only when a process is asked for
//      that is not known yet;
//   3. otherwise nothing.
// Rows of process 0 and 4 have no service and cost no call. A look-up that
// fails gives nothing and reports nothing.
class ServiceNameCache {
public:
    using RunningServicesFn = std::function<std::optional<std::vector<platform::RunningService>>()>;

    ServiceNameCache(platform::OwnerModuleLookUps lookUps, RunningServicesFn runningServices);

    // A refresh begins: the running services are listed again when needed.
    void BeginPass() { servicesListed_ = false; }
    std::wstring Resolve(const ServiceQuery& query);

    // What was asked of the system, for the benchmark: owner-module look-ups
    // and listings of the running services.
    std::size_t ModuleLookUps() const { return moduleLookUps_; }
    std::size_t ServiceListings() const { return serviceListings_; }

private:
    struct Key {
        std::uint32_t processId;
        std::uint64_t startTime;
        bool startKnown;
        std::uint64_t ownerTag;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept;
    };
    // More processes and tags than a machine runs at once: past this the
    // cache starts over rather than grow with every process ever seen.
    static constexpr std::size_t kMostKept = 4096;

    std::optional<std::wstring> ModuleName(const ServiceQuery& query);
    std::wstring HostedServices(std::uint32_t processId);

    platform::OwnerModuleLookUps lookUps_;
    RunningServicesFn runningServices_;
    std::unordered_map<Key, std::wstring, KeyHash> known_;
    std::unordered_map<std::uint32_t, std::wstring> hosted_;  // by process id, of the last listing
    bool servicesListed_ = false;
    std::size_t moduleLookUps_ = 0;
    std::size_t serviceListings_ = 0;
};

} // namespace vq::connections

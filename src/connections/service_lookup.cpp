#include "connections/service_lookup.h"

#include "util/ascii_text.h"

#include <cstring>
#include <memory>

namespace vq::connections {
namespace {

// The system's own processes, which host no service.
constexpr std::uint32_t kIdleProcessId = 0;
constexpr std::uint32_t kSystemProcessId = 4;

platform::GetOwnerModuleFn LookUpOf(const platform::OwnerModuleLookUps& lookUps, Protocol protocol)
{
    switch (protocol) {
    case Protocol::Tcp:
        return lookUps.fromTcpEntry;
    case Protocol::Tcp6:
        return lookUps.fromTcp6Entry;
    case Protocol::Udp:
        return lookUps.fromUdpEntry;
    case Protocol::Udp6:
        return lookUps.fromUdp6Entry;
    case Protocol::None:
        break;
    }
    return nullptr;
}

// A text of the look-up's answer, which must lie within the buffer it filled.
std::optional<std::wstring> TextIn(const wchar_t* text, const unsigned char* buffer, std::size_t size)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(text);
    if (text == nullptr || begin < buffer || begin >= buffer + size) {
        return std::nullopt;
    }
    const std::size_t room = (buffer + size - begin) / sizeof(wchar_t);
    std::size_t length = 0;
    for (wchar_t c; length < room; ++length) {
        std::memcpy(&c, begin + length * sizeof(wchar_t), sizeof(wchar_t));
        if (c == L'\0') {
            break;
        }
    }
    if (length == room) {
        return std::nullopt;
    }
    std::wstring value(length, L'\0');
    std::memcpy(value.data(), begin, length * sizeof(wchar_t));
    return value;
}

// File names compare without case, as the system's do.
bool SameFileName(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && util::StartsWithIgnoringAsciiCase(a, b);
}

} // namespace

std::size_t ServiceNameCache::KeyHash::operator()(const Key& key) const noexcept
{
    std::size_t hash = key.processId;
    hash = hash * 0x9E3779B97F4A7C15ull ^ key.startTime ^ (key.startKnown ? 1 : 0);
    return hash * 0x9E3779B97F4A7C15ull ^ key.ownerTag;
}

ServiceNameCache::ServiceNameCache(platform::OwnerModuleLookUps lookUps, RunningServicesFn runningServices)
    : lookUps_(lookUps), runningServices_(std::move(runningServices))
{
}

std::wstring ServiceNameCache::Resolve(const ServiceQuery& query)
{
    if (query.processId == kIdleProcessId || query.processId == kSystemProcessId) {
        return {};
    }
    const Key key{query.processId, query.processStartTime.value_or(0), query.processStartTime.has_value(),
                  query.ownerTag};
    if (const auto found = known_.find(key); found != known_.end()) {
        return found->second;
    }
    std::wstring service;
    if (const auto module = ModuleName(query);
        module && !module->empty() && !SameFileName(*module, query.processFileName)) {
        service = *module;
    } else {
        service = HostedServices(query.processId);
    }
    if (known_.size() >= kMostKept) {
        known_.clear();
    }
    known_.emplace(key, service);
    return service;
}

std::optional<std::wstring> ServiceNameCache::ModuleName(const ServiceQuery& query)
{
    const platform::GetOwnerModuleFn lookUp = LookUpOf(lookUps_, query.protocol);
    if (lookUp == nullptr || query.entry == nullptr) {
        return std::nullopt;
    }
    ++moduleLookUps_;
    std::uint32_t size = 0;
    if (lookUp(query.entry, platform::kOwnerModuleInfoBasic, nullptr, &size) != platform::kErrorInsufficientBuffer ||
        size < sizeof(platform::OwnerModuleBasicInfo) || size > 64 * 1024) {
        return std::nullopt;
    }
    // The texts follow the two pointers in the same buffer, which is aligned
    // for the pointers.
    const std::size_t words = (size + sizeof(void*) - 1) / sizeof(void*);
    const auto buffer = std::make_unique<void*[]>(words);
    std::uint32_t room = static_cast<std::uint32_t>(words * sizeof(void*));
    if (lookUp(query.entry, platform::kOwnerModuleInfoBasic, buffer.get(), &room) != platform::kNoError) {
        return std::nullopt;
    }
    platform::OwnerModuleBasicInfo info{};
    std::memcpy(&info, buffer.get(), sizeof(info));
    return TextIn(info.moduleName, reinterpret_cast<const unsigned char*>(buffer.get()), words * sizeof(void*));
}

std::wstring ServiceNameCache::HostedServices(std::uint32_t processId)
{
    if (!servicesListed_) {
        servicesListed_ = true;
        ++serviceListings_;
        hosted_.clear();
        if (runningServices_) {
            if (const auto services = runningServices_()) {
                for (const platform::RunningService& service : *services) {
                    std::wstring& names = hosted_[service.processId];
                    names += names.empty() ? L"" : L", ";
                    names += service.name;
                }
            }
        }
    }
    const auto found = hosted_.find(processId);
    return found != hosted_.end() ? found->second : std::wstring();
}

} // namespace vq::connections

#include "fake_platform.h"

#include "platform/process.h"

#include <cstring>
#include <sstream>

namespace vq::fake {
namespace {

FakePlatform g_fake;

void Log(const std::string& line)
{
    g_fake.log.push_back(line);
}

std::uint32_t ServeTable(FakeTable& table, void* buffer, std::uint32_t* size, int order,
                         std::uint32_t family, int tableClass, std::uint32_t reserved)
{
    table.calls.push_back({buffer == nullptr, *size, order, family, tableClass, reserved});
    const bool first = table.calls.size() % 2 == 1;
    std::uint32_t needed = static_cast<std::uint32_t>(4 + table.rowWords.size() * 4);
    if (first) {
        if (table.firstAnswer) {
            return *table.firstAnswer;
        }
        *size = needed;
        return platform::kErrorInsufficientBuffer;
    }
    needed += table.growBeforeSecondCall;
    if (table.secondAnswer) {
        return *table.secondAnswer;
    }
    if (*size < needed) {
        *size = needed;
        return platform::kErrorInsufficientBuffer;
    }
    auto* out = static_cast<std::uint32_t*>(buffer);
    out[0] = table.rowCount;
    if (!table.rowWords.empty()) {
        std::memcpy(out + 1, table.rowWords.data(), table.rowWords.size() * 4);
    }
    return platform::kNoError;
}

std::uint32_t FakeGetExtendedTcpTable(void* table, std::uint32_t* size, int order,
                                      std::uint32_t family, int tableClass, std::uint32_t reserved)
{
    return ServeTable(g_fake.tcpTable, table, size, order, family, tableClass, reserved);
}

std::uint32_t FakeGetExtendedUdpTable(void* table, std::uint32_t* size, int order,
                                      std::uint32_t family, int tableClass, std::uint32_t reserved)
{
    return ServeTable(g_fake.udpTable, table, size, order, family, tableClass, reserved);
}

std::uint32_t FakeSetTcpEntry(platform::TcpRow*)
{
    return 0;
}

} // namespace

FakePlatform& Fake()
{
    return g_fake;
}

void Reset()
{
    g_fake = FakePlatform{};
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

std::size_t FakePlatform::Count(const std::string& prefix) const
{
    std::size_t count = 0;
    for (const auto& line : log) {
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

std::size_t FakePlatform::IndexOf(const std::string& prefix) const
{
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind(prefix, 0) == 0) {
            return i;
        }
    }
    return std::string::npos;
}

platform::IpHelperEntryPoints FakeIpHelper()
{
    return {&FakeGetExtendedTcpTable, &FakeGetExtendedUdpTable, &FakeSetTcpEntry};
}

void AddTcpRow(FakeTable& table, const platform::TcpRowOwnerPid& row)
{
    table.rowWords.insert(table.rowWords.end(), {row.state, row.localAddr, row.localPort,
                                                 row.remoteAddr, row.remotePort, row.owningPid});
    ++table.rowCount;
}

void AddUdpRow(FakeTable& table, const platform::UdpRowOwnerPid& row)
{
    table.rowWords.insert(table.rowWords.end(), {row.localAddr, row.localPort, row.owningPid});
    ++table.rowCount;
}

} // namespace vq::fake

// The fake implementation of the platform layer.
namespace vq::platform {

using fake::g_fake;
using fake::Log;
using fake::Narrow;

std::wstring GetSystemDirectory()
{
    Log("GetSystemDirectory");
    return g_fake.systemDirectory;
}

std::wstring GetWindowsDirectory()
{
    Log("GetWindowsDirectory");
    return g_fake.windowsDirectory;
}

ModuleHandle GetModuleHandle(const std::wstring& path)
{
    Log("GetModuleHandle " + Narrow(path));
    const auto found = g_fake.loadedModules.find(path);
    return found == g_fake.loadedModules.end() ? nullptr : found->second;
}

MemoryRegionQuery VirtualQuery(const void* address)
{
    std::ostringstream line;
    line << "VirtualQuery " << address;
    Log(line.str());
    return g_fake.memoryRegion;
}

std::uint32_t LdrGetProcedureAddress(ModuleHandle module, const std::string& name,
                                     std::uint32_t ordinal, ProcAddress* address)
{
    std::ostringstream line;
    line << "LdrGetProcedureAddress " << module << " " << name << " " << ordinal;
    Log(line.str());
    const auto byModule = g_fake.nativeExports.find(module);
    if (byModule != g_fake.nativeExports.end()) {
        const auto found = byModule->second.find(name);
        if (found != byModule->second.end()) {
            *address = found->second;
            return kStatusSuccess;
        }
    }
    return 0xC0000139;  // STATUS_ENTRYPOINT_NOT_FOUND
}

ProcAddress GetProcAddress(ModuleHandle module, const std::string& name)
{
    std::ostringstream line;
    line << "GetProcAddress " << module << " " << name;
    Log(line.str());
    const auto byModule = g_fake.exports.find(module);
    if (byModule == g_fake.exports.end()) {
        return nullptr;
    }
    const auto found = byModule->second.find(name);
    return found == byModule->second.end() ? nullptr : found->second;
}

ModuleHandle LoadLibraryEx(const std::wstring& name, std::uint32_t flags)
{
    Log("LoadLibraryEx " + Narrow(name) + " " + std::to_string(flags));
    const auto found = g_fake.loadableLibraries.find(name);
    return found == g_fake.loadableLibraries.end() ? nullptr : found->second;
}

std::uint16_t NativeSystemInfoArchitecture(ProcAddress getNativeSystemInfo)
{
    std::ostringstream line;
    line << "GetNativeSystemInfo " << getNativeSystemInfo;
    Log(line.str());
    return g_fake.nativeArchitecture;
}

std::uint16_t SystemInfoArchitecture()
{
    Log("GetSystemInfo");
    return g_fake.systemArchitecture;
}

std::uint32_t GetVersion()
{
    Log("GetVersion");
    return g_fake.version;
}

int MessageBox(void* owner, const std::wstring& text, const wchar_t* caption, std::uint32_t type)
{
    Log("MessageBox " + Narrow(text));
    g_fake.messageBoxes.push_back(
        {owner, text, caption ? std::optional<std::wstring>(caption) : std::nullopt, type});
    return 1;
}

void ExitProcess(std::uint32_t exitCode)
{
    Log("ExitProcess " + std::to_string(exitCode));
    throw fake::ProcessExit{exitCode};
}

void CloseHandle(ProcessHandle handle) noexcept
{
    std::ostringstream line;
    line << "CloseHandle " << handle;
    Log(line.str());
}

std::uint32_t RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                 bool* wasEnabled)
{
    Log("RtlAdjustPrivilege " + std::to_string(privilege) + " enable=" + std::to_string(enable) +
        " thread=" + std::to_string(currentThread) + " out=" + std::to_string(wasEnabled != nullptr));
    return privilege == 20 ? 0 : 0xC0000061;
}

} // namespace vq::platform

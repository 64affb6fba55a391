#include "fake_platform.h"

#include "platform/process.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <cwctype>
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
        *size = table.firstSize.value_or(needed);
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
    // As the system does: the size tells what the table took.
    *size = static_cast<std::uint32_t>(4 + table.rowWords.size() * 4);
    return platform::kNoError;
}

std::uint32_t FakeGetExtendedTcpTable(void* table, std::uint32_t* size, int order,
                                      std::uint32_t family, int tableClass, std::uint32_t reserved)
{
    FakeTable& served = family == platform::kAfInet6 ? g_fake.tcp6Table : g_fake.tcpTable;
    return ServeTable(served, table, size, order, family, tableClass, reserved);
}

std::uint32_t FakeGetExtendedUdpTable(void* table, std::uint32_t* size, int order,
                                      std::uint32_t family, int tableClass, std::uint32_t reserved)
{
    FakeTable& served = family == platform::kAfInet6 ? g_fake.udp6Table : g_fake.udpTable;
    return ServeTable(served, table, size, order, family, tableClass, reserved);
}

std::uint32_t FakeSetTcpEntry(platform::TcpRow* row)
{
    g_fake.setTcpEntries.push_back(*row);
    if (g_fake.setTcpEntryAnswers.empty()) {
        return g_fake.setTcpEntryAnswer;
    }
    const std::uint32_t answer = g_fake.setTcpEntryAnswers.front();
    g_fake.setTcpEntryAnswers.pop_front();
    return answer;
}

std::string HandleText(platform::ProcessHandle handle)
{
    std::ostringstream text;
    text << handle;
    return text.str();
}

// The process behind a handle that is still open, or null.
FakeProcess* ProcessOf(platform::ProcessHandle handle)
{
    if (g_fake.openHandles.count(handle) == 0) {
        return nullptr;
    }
    const auto found = g_fake.processes.find(g_fake.handleProcessIds[handle]);
    return found == g_fake.processes.end() ? nullptr : &found->second;
}

std::wstring Upper(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return text;
}

// %NAME% references of the scripted environment; unknown ones stay as written.
std::wstring Expand(const std::wstring& source)
{
    std::wstring result;
    std::size_t i = 0;
    while (i < source.size()) {
        const std::size_t open = source.find(L'%', i);
        const std::size_t close = open == std::wstring::npos ? open : source.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            result += source.substr(i);
            break;
        }
        result += source.substr(i, open - i);
        const std::wstring name = Upper(source.substr(open + 1, close - open - 1));
        const auto found = std::find_if(g_fake.environment.begin(), g_fake.environment.end(),
                                        [&](const auto& entry) { return Upper(entry.first) == name; });
        if (found == g_fake.environment.end()) {
            result += source.substr(open, close - open);
            i = close;
        } else {
            result += found->second;
            i = close + 1;
        }
    }
    return result;
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

template <typename Row>
void AddRawRow(FakeTable& table, const Row& row)
{
    static_assert(sizeof(Row) % 4 == 0);
    std::uint32_t words[sizeof(Row) / 4];
    std::memcpy(words, &row, sizeof(Row));
    table.rowWords.insert(table.rowWords.end(), std::begin(words), std::end(words));
    ++table.rowCount;
}

void AddTcp6Row(FakeTable& table, const platform::Tcp6RowOwnerPid& row)
{
    AddRawRow(table, row);
}

void AddUdp6Row(FakeTable& table, const platform::Udp6RowOwnerPid& row)
{
    AddRawRow(table, row);
}

} // namespace vq::fake

// The fake implementation of the platform layer.
namespace vq::platform {

using fake::g_fake;
using fake::Log;
using fake::Narrow;

std::wstring GetExecutablePath()
{
    Log("GetExecutablePath");
    return g_fake.executablePath;
}

LocalTime GetLocalTime()
{
    Log("GetLocalTime");
    return g_fake.localTime;
}

std::optional<LocalTime> FileTimeToLocalTime(std::uint64_t fileTime)
{
    ++g_fake.fileTimeConversions;
    if (g_fake.fileTimeConversionFails) {
        return std::nullopt;
    }
    constexpr std::int64_t kUnixEpochSeconds = 11644473600;
    const auto at = [](std::int64_t seconds) {
        const std::time_t time = static_cast<std::time_t>(seconds);
        std::tm parts{};
        gmtime_r(&time, &parts);
        return parts;
    };
    const std::int64_t utc = static_cast<std::int64_t>(fileTime / 10'000'000) - kUnixEpochSeconds;
    const bool summer = at(utc).tm_mon >= 3 && at(utc).tm_mon <= 8;
    const std::tm local = at(utc + (summer ? 7200 : 3600));
    return LocalTime{static_cast<std::uint16_t>(local.tm_year + 1900), static_cast<std::uint16_t>(local.tm_mon + 1),
                     static_cast<std::uint16_t>(local.tm_mday), static_cast<std::uint16_t>(local.tm_hour),
                     static_cast<std::uint16_t>(local.tm_min), static_cast<std::uint16_t>(local.tm_sec)};
}

std::optional<std::vector<RunningService>> RunningServices()
{
    ++g_fake.serviceListings;
    return g_fake.runningServices;
}

void Sleep(std::uint32_t milliseconds)
{
    Log("Sleep " + std::to_string(milliseconds));
    g_fake.sleeps.push_back(milliseconds);
}

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
    if (g_fake.whileMessageBoxShows) {
        g_fake.whileMessageBoxShows();
    }
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
    g_fake.openHandles.erase(handle);
}

std::uint32_t RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                 bool* wasEnabled)
{
    Log("RtlAdjustPrivilege " + std::to_string(privilege) + " enable=" + std::to_string(enable) +
        " thread=" + std::to_string(currentThread) + " out=" + std::to_string(wasEnabled != nullptr));
    return privilege == 20 ? 0 : 0xC0000061;
}

UniqueProcess OpenProcess(std::uint32_t access, std::uint32_t processId)
{
    std::ostringstream line;
    line << "OpenProcess " << processId << " 0x" << std::hex << access;
    Log(line.str());
    const auto found = g_fake.processes.find(processId);
    if (found == g_fake.processes.end() || found->second.grantedAccess.count(access) == 0) {
        return UniqueProcess();
    }
    const auto handle = reinterpret_cast<ProcessHandle>(g_fake.nextHandle);
    g_fake.nextHandle += 4;
    g_fake.openHandles.insert(handle);
    g_fake.handleProcessIds[handle] = processId;
    return UniqueProcess(handle);
}

bool GetHandleInformation(ProcessHandle handle)
{
    Log("GetHandleInformation " + fake::HandleText(handle));
    return !g_fake.handleInformationFails && g_fake.openHandles.count(handle) != 0;
}

std::uint32_t GetModuleFileNameEx(ProcessHandle process, wchar_t* buffer, std::uint32_t size)
{
    Log("GetModuleFileNameEx " + fake::HandleText(process) + " " + std::to_string(size));
    const fake::FakeProcess* found = fake::ProcessOf(process);
    if (!g_fake.psapiLoads || found == nullptr || !found->moduleFileName || size == 0) {
        return 0;
    }
    // A name that does not fit is cut to the room less its terminator, and
    // the call reports the whole room.
    const std::wstring& name = *found->moduleFileName;
    if (name.size() < size) {
        std::copy(name.begin(), name.end(), buffer);
        buffer[name.size()] = L'\0';
        return static_cast<std::uint32_t>(name.size());
    }
    std::copy(name.begin(), name.begin() + (size - 1), buffer);
    buffer[size - 1] = L'\0';
    return size;
}

bool GetProcessStartTime(ProcessHandle process, std::uint64_t* startTime)
{
    Log("GetProcessStartTime " + fake::HandleText(process));
    const fake::FakeProcess* found = fake::ProcessOf(process);
    if (found == nullptr || !found->startTime) {
        return false;
    }
    *startTime = *found->startTime;
    return true;
}

bool CallQueryFullProcessImageName(ProcAddress entryPoint, ProcessHandle process,
                                   std::uint32_t flags, wchar_t* buffer, std::uint32_t* size,
                                   std::uint32_t* lastError)
{
    std::ostringstream line;
    line << "QueryFullProcessImageName " << entryPoint << " " << process << " " << flags << " "
         << *size;
    Log(line.str());
    const fake::FakeProcess* found = fake::ProcessOf(process);
    if (found == nullptr || !found->fullImageName) {
        *lastError = 5;  // ERROR_ACCESS_DENIED
        return false;
    }
    const std::wstring& name = *found->fullImageName;
    if (name.size() + 1 > *size) {
        *lastError = kErrorInsufficientBuffer;
        return false;
    }
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = L'\0';
    *size = static_cast<std::uint32_t>(name.size());
    return true;
}

std::uint32_t QueryExtendedBasicInformation(ProcessHandle process, std::uint32_t* flags)
{
    Log("QueryExtendedBasicInformation " + fake::HandleText(process));
    const fake::FakeProcess* found = fake::ProcessOf(process);
    if (found == nullptr) {
        return 0xC0000008;  // STATUS_INVALID_HANDLE
    }
    if (found->basicInformationStatus == kStatusSuccess) {
        *flags = found->flags;
    }
    return found->basicInformationStatus;
}

std::uint32_t QueryImageFileName(ProcessHandle process, std::uint32_t bufferLength,
                                 std::wstring* imageName)
{
    Log("QueryImageFileName " + fake::HandleText(process) + " " + std::to_string(bufferLength));
    const fake::FakeProcess* found = fake::ProcessOf(process);
    if (found == nullptr || !found->imageFileName) {
        return 0xC0000022;  // STATUS_ACCESS_DENIED
    }
    // The 32-bit layout: an 8-byte counted string, then its UTF-16 text and a terminator.
    const std::size_t needed = 8 + (found->imageFileName->size() + 1) * 2;
    if (bufferLength < needed) {
        return kStatusInfoLengthMismatch;
    }
    *imageName = *found->imageFileName;
    return kStatusSuccess;
}

std::uint32_t QueryDosDevice(const std::wstring& deviceName, wchar_t* buffer, std::uint32_t size)
{
    Log("QueryDosDevice " + Narrow(deviceName) + " " + std::to_string(size));
    const auto found = g_fake.dosDevices.find(deviceName);
    // The answer is a list of names: the device, its terminator, the list's terminator.
    if (found == g_fake.dosDevices.end() || found->second.size() + 2 > size) {
        return 0;
    }
    std::copy(found->second.begin(), found->second.end(), buffer);
    buffer[found->second.size()] = L'\0';
    buffer[found->second.size() + 1] = L'\0';
    return static_cast<std::uint32_t>(found->second.size() + 2);
}

std::uint32_t ExpandEnvironmentStrings(const std::wstring& source, wchar_t* buffer,
                                       std::uint32_t size)
{
    Log("ExpandEnvironmentStrings " + Narrow(source) + " " + std::to_string(size));
    const std::wstring expanded = fake::Expand(source);
    // Like the system, a result that does not fit is written as far as it goes.
    if (size > 0) {
        const std::size_t written = std::min<std::size_t>(expanded.size(), size - 1);
        std::copy(expanded.begin(), expanded.begin() + written, buffer);
        buffer[written] = L'\0';
    }
    return static_cast<std::uint32_t>(expanded.size() + 1);
}

bool GetComputerName(wchar_t* buffer, std::uint32_t* size)
{
    Log("GetComputerName " + std::to_string(*size));
    if (!g_fake.computerName || g_fake.computerName->size() + 1 > *size) {
        return false;
    }
    std::copy(g_fake.computerName->begin(), g_fake.computerName->end(), buffer);
    buffer[g_fake.computerName->size()] = L'\0';
    *size = static_cast<std::uint32_t>(g_fake.computerName->size());
    return true;
}

int CompareIgnoringCase(const std::wstring& first, const std::wstring& second)
{
    Log("CompareIgnoringCase " + Narrow(first) + " " + Narrow(second));
    return fake::Upper(first).compare(fake::Upper(second));
}

std::uint32_t NetShareEnum(std::vector<ShareInfo>* shares)
{
    Log("NetShareEnum");
    shares->clear();
    if (g_fake.shareEnumStatus != 0) {
        return g_fake.shareEnumStatus;
    }
    *shares = g_fake.shares;
    return 0;
}

std::wstring FormatSystemMessage(std::uint32_t errorCode)
{
    Log("FormatSystemMessage " + std::to_string(errorCode));
    const auto found = g_fake.systemMessages.find(errorCode);
    return found == g_fake.systemMessages.end() ? std::wstring{} : found->second;
}

} // namespace vq::platform

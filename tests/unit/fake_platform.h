#pragma once

// A scripted stand-in for the Windows operations of src/platform: tests set
// the answers, run the core, and read the call log.

#include "platform/iphelper.h"
#include "platform/services.h"
#include "platform/process.h"
#include "platform/shares.h"
#include "platform/system.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vq::fake {

// Thrown by the fake ExitProcess so that a test sees where the process would end.
struct ProcessExit {
    std::uint32_t exitCode;
};

struct MessageBoxCall {
    void* owner;
    std::wstring text;
    std::optional<std::wstring> caption;
    std::uint32_t type;
};

struct TableCall {
    bool tableNull;
    std::uint32_t sizeIn;
    int order;
    std::uint32_t family;
    int tableClass;
    std::uint32_t reserved;
};

// A scripted extended table: its entries as raw 32-bit words, and what each
// call answers.
struct FakeTable {
    std::vector<std::uint32_t> rowWords;  // the rows back to back
    std::uint32_t rowCount = 0;
    std::optional<std::uint32_t> firstAnswer;   // default: 122 with the needed size
    std::optional<std::uint32_t> firstSize;     // the size the first call reports; default: the needed one
    std::optional<std::uint32_t> secondAnswer;  // default: 0 when the room suffices, else 122
    std::uint32_t growBeforeSecondCall = 0;     // bytes the table grows between the calls
    std::vector<TableCall> calls;
};

// A process the fake knows, by its id.
struct FakeProcess {
    // The access masks OpenProcess grants; any other open is refused.
    std::set<std::uint32_t> grantedAccess{platform::kMaximumAllowed,
                                          platform::kProcessQueryLimitedInformation};
    std::optional<std::wstring> moduleFileName;  // GetModuleFileNameEx; none: the call fails
    std::uint32_t basicInformationStatus = 0;    // QueryExtendedBasicInformation
    std::uint32_t flags = 0;                     // the record's Flags; bit 0: protected
    std::optional<std::wstring> fullImageName;   // QueryFullProcessImageName; none: error 5
    std::optional<std::wstring> imageFileName;   // QueryImageFileName; none: status 0xC0000022
    std::optional<std::uint64_t> startTime = 1;  // GetProcessStartTime; none: the call fails
};

struct FakePlatform {
    std::vector<std::string> log;

    std::wstring systemDirectory = L"C:\\Windows\\system32";
    std::wstring windowsDirectory = L"C:\\Windows";
    std::wstring executablePath = L"C:\\Program Files\\Quarvel\\velquist.exe";
    platform::LocalTime localTime{2018, 5, 29, 14, 3, 9};
    // FileTimeToLocalTime: a zone one hour east of UTC with daylight saving
    // (two hours) from April to September; the calls are counted.
    bool fileTimeConversionFails = false;
    // RunningServices: none when the service manager cannot be asked.
    std::optional<std::vector<platform::RunningService>> runningServices = std::vector<platform::RunningService>{};
    std::size_t serviceListings = 0;
    std::size_t fileTimeConversions = 0;
    std::vector<std::uint32_t> sleeps;

    std::map<std::wstring, platform::ModuleHandle> loadedModules;     // GetModuleHandle
    std::map<std::wstring, platform::ModuleHandle> loadableLibraries; // LoadLibraryEx
    platform::MemoryRegionQuery memoryRegion{28, 28, nullptr};
    // Procedures the native look-up finds, by module and name.
    std::map<platform::ModuleHandle, std::map<std::string, platform::ProcAddress>> nativeExports;
    // Procedures GetProcAddress finds, by module and name.
    std::map<platform::ModuleHandle, std::map<std::string, platform::ProcAddress>> exports;

    std::uint16_t nativeArchitecture = 0;
    std::uint16_t systemArchitecture = 0;
    std::uint32_t version = 0x1DB10106;  // 6.1, build 7601

    std::vector<MessageBoxCall> messageBoxes;
    // Runs while a message box is on screen, as the messages its own loop
    // dispatches would.
    std::function<void()> whileMessageBoxShows;

    FakeTable tcpTable;
    FakeTable udpTable;
    // What the same entry points serve for the IPv6 family.
    FakeTable tcp6Table;
    FakeTable udp6Table;
    // SetTcpEntry: the records it was given, in order. It answers the scripted
    // answers in turn and, once they are used up, setTcpEntryAnswer.
    std::vector<platform::TcpRow> setTcpEntries;
    std::deque<std::uint32_t> setTcpEntryAnswers;
    std::uint32_t setTcpEntryAnswer = 0;

    std::map<std::uint32_t, FakeProcess> processes;
    // Handles OpenProcess gave out that CloseHandle has not closed yet.
    std::set<platform::ProcessHandle> openHandles;
    std::map<platform::ProcessHandle, std::uint32_t> handleProcessIds;
    std::uintptr_t nextHandle = 0x100;
    bool psapiLoads = true;
    bool handleInformationFails = false;

    std::map<std::wstring, std::wstring> dosDevices;   // "C:" -> its device name
    std::map<std::wstring, std::wstring> environment;  // names compared without case
    std::optional<std::wstring> computerName = L"HOST";
    std::uint32_t shareEnumStatus = 0;
    std::vector<platform::ShareInfo> shares;
    // FormatSystemMessage by error code; a code not here has no message.
    std::map<std::uint32_t, std::wstring> systemMessages;

    // How many log lines begin with prefix.
    std::size_t Count(const std::string& prefix) const;
    // Index of the first log line that begins with prefix, or npos.
    std::size_t IndexOf(const std::string& prefix) const;
};

// The one fake of the test binary; fixtures reset it with Reset().
FakePlatform& Fake();
void Reset();

std::string Narrow(const std::wstring& text);

// Entry points that serve Fake().tcpTable and Fake().udpTable.
platform::IpHelperEntryPoints FakeIpHelper();

void AddTcpRow(FakeTable& table, const platform::TcpRowOwnerPid& row);
void AddUdpRow(FakeTable& table, const platform::UdpRowOwnerPid& row);
void AddTcp6Row(FakeTable& table, const platform::Tcp6RowOwnerPid& row);
void AddUdp6Row(FakeTable& table, const platform::Udp6RowOwnerPid& row);

} // namespace vq::fake

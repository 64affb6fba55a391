// A Windows service for the end-to-end tests: once started by the service
// manager it listens on a loopback TCP port, writes that port and its
// process id to "vqservice.port" beside it, and runs until it is stopped.

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kServiceName[] = L"VqTestService";

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;
wchar_t g_portFile[MAX_PATH] = {};

void Report(DWORD state)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    g_status = RegisterServiceCtrlHandlerExW(kServiceName, Control, nullptr);
    if (g_status == nullptr) {
        return;
    }
    GetModuleFileNameW(nullptr, g_portFile, MAX_PATH);
    lstrcpyW(wcsrchr(g_portFile, L'\\') + 1, L"vqservice.port");
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Report(SERVICE_STOPPED);
        return;
    }
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    if (FILE* file = _wfopen(g_portFile, L"w")) {
        std::fprintf(file, "%u %lu\n", ntohs(address.sin_port), GetCurrentProcessId());
        std::fclose(file);
    }
    WaitForSingleObject(g_stop, INFINITE);
    closesocket(listener);
    Report(SERVICE_STOPPED);
}

} // namespace

int wmain()
{
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

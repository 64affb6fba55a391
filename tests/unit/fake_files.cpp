#include "fake_files.h"

#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace vq::fake {
namespace {

struct HeldFile {
    int fd;
    std::uint64_t bytesRead;
};

// What the fake has handed out, by handle value.
struct Held {
    std::map<std::uintptr_t, HeldFile> files;
    std::uintptr_t nextFile = 1;
    std::uint32_t lastError = 0;
};

FakeFiles g_files;
Held g_held;

void Log(const std::string& line)
{
    g_files.log.push_back(line);
}

std::string FileName(platform::FileHandle file)
{
    return "file" + std::to_string(static_cast<std::uintptr_t>(file));
}

// POSIX paths are UTF-8.
std::string Utf8(const std::wstring& text)
{
    std::string utf8;
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | code >> 6);
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | code >> 12);
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | code >> 18);
            utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

// Leaves the system error code a failed open of path gives for the POSIX
// error; answers the failed descriptor.
int FailOpen(const std::string& path, int error)
{
    if (error == ENOENT) {
        struct stat parent {};
        const std::string::size_type slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        g_held.lastError = ::stat(folder.c_str(), &parent) == 0 ? 2 : 3;
    } else {
        g_held.lastError = 5;
    }
    return -1;
}

// Like the Windows calls, refuses directories.
int OpenChecked(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        return FailOpen(path, errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FailOpen(path, EISDIR);
    }
    return fd;
}

// The file switched to fail, or the file at path opened for reading.
int OpenRegularFile(const std::string& path, bool fails)
{
    if (fails) {
        g_held.lastError = kSharingViolation;
        return -1;
    }
    return OpenChecked(path, O_RDONLY | O_CLOEXEC);
}

// CreateFileW's creation dispositions for a file opened for writing.
int OpenForWriting(const std::string& path, std::uint32_t desiredAccess,
                   std::uint32_t creationDisposition)
{
    int flags = O_CLOEXEC | ((desiredAccess & platform::kGenericRead) != 0 ? O_RDWR : O_WRONLY);
    switch (creationDisposition) {
    case 1:  // CREATE_NEW
        flags |= O_CREAT | O_EXCL;
        break;
    case platform::kCreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case platform::kOpenExisting:
        break;
    case 4:  // OPEN_ALWAYS
        flags |= O_CREAT;
        break;
    case 5:  // TRUNCATE_EXISTING
        flags |= O_TRUNC;
        break;
    default:
        g_held.lastError = 87;  // ERROR_INVALID_PARAMETER
        return -1;
    }
    return OpenChecked(path, flags);
}

platform::FileHandle HandOutFile(int fd, const std::string& call)
{
    if (fd < 0) {
        Log(call + " -> failed");
        return platform::kInvalidFileHandle;
    }
    const auto file = static_cast<platform::FileHandle>(g_held.nextFile++);
    g_held.files[static_cast<std::uintptr_t>(file)] = {fd, 0};
    Log(call + " -> " + FileName(file));
    return file;
}

HeldFile* FindFile(platform::FileHandle file)
{
    const auto found = g_held.files.find(static_cast<std::uintptr_t>(file));
    return found == g_held.files.end() ? nullptr : &found->second;
}

} // namespace

std::size_t FakeFiles::OpenCount() const
{
    return g_held.files.size();
}

FakeFiles& Files()
{
    return g_files;
}

void ResetFiles()
{
    for (const auto& [value, file] : g_held.files) {
        ::close(file.fd);
    }
    g_held = Held{};
    g_files = FakeFiles{};
}

} // namespace vq::fake

namespace vq::platform {

using fake::g_files;
using fake::g_held;
using fake::Log;

FileHandle CreateFile(const std::wstring& path, std::uint32_t desiredAccess,
                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                      std::uint32_t flagsAndAttributes)
{
    std::ostringstream call;
    call << "CreateFileW " << fake::Utf8(path) << std::hex << " access=0x" << desiredAccess
         << " share=0x" << shareMode << std::dec << " disposition=" << creationDisposition
         << std::hex << " attributes=0x" << flagsAndAttributes;
    const bool writing = (desiredAccess & kGenericWrite) != 0;
    const bool refused = g_files.createFileFails ||
                         (!writing && g_files.heldOpenForWriting && (shareMode & kFileShareWrite) == 0);
    const int fd = writing && !refused
                       ? fake::OpenForWriting(fake::Utf8(path), desiredAccess, creationDisposition)
                       : fake::OpenRegularFile(fake::Utf8(path), refused);
    return fake::HandOutFile(fd, call.str());
}

std::uint32_t GetLastError()
{
    return g_held.lastError;
}

std::uint32_t ReadFile(FileHandle file, void* buffer, std::uint32_t length,
                       std::uint32_t* bytesRead)
{
    const std::string call = "ReadFile " + fake::FileName(file) + " length=" + std::to_string(length);
    *bytesRead = 0;
    fake::HeldFile* held = fake::FindFile(file);
    if (held == nullptr) {
        Log(call + " -> error 6");
        return 6;  // ERROR_INVALID_HANDLE
    }
    std::uint64_t room = length;
    if (g_files.readFailsAt) {
        const std::uint64_t left =
            *g_files.readFailsAt > held->bytesRead ? *g_files.readFailsAt - held->bytesRead : 0;
        room = std::min<std::uint64_t>(room, left);
    }
    std::size_t read = 0;
    while (read < room) {
        const ssize_t result = ::read(held->fd, static_cast<char*>(buffer) + read,
                                      static_cast<std::size_t>(room - read));
        if (result <= 0) {
            break;
        }
        read += static_cast<std::size_t>(result);
    }
    // The read reached the failing byte and the file goes on.
    if (read == room && room < length) {
        char next = 0;
        if (::pread(held->fd, &next, 1, static_cast<off_t>(held->bytesRead + read)) == 1) {
            Log(call + " -> error " + std::to_string(g_files.readError));
            return g_files.readError;
        }
    }
    held->bytesRead += read;
    *bytesRead = static_cast<std::uint32_t>(read);
    Log(call + " -> " + std::to_string(read));
    return 0;
}

void CloseHandle(FileHandle file) noexcept
{
    const auto found = g_held.files.find(static_cast<std::uintptr_t>(file));
    if (found == g_held.files.end()) {
        Log("CloseHandle unknown");
        return;
    }
    ::close(found->second.fd);
    Log("CloseHandle " + fake::FileName(file));
    g_held.files.erase(found);
}

bool FileExists(const std::wstring& path)
{
    struct stat status {};
    return ::stat(fake::Utf8(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool WriteFile(FileHandle file, const void* data, std::size_t length)
{
    const std::string call =
        "WriteFile " + fake::FileName(file) + " length=" + std::to_string(length);
    std::size_t fits = length;
    if (g_files.writableBytes && *g_files.writableBytes < length) {
        fits = static_cast<std::size_t>(*g_files.writableBytes);
    }
    const fake::HeldFile* held = fake::FindFile(file);
    const int fd = held != nullptr ? held->fd : -1;
    const auto* bytes = static_cast<const char*>(data);
    std::size_t written = 0;
    while (fd >= 0 && written < fits) {
        const ssize_t result = ::write(fd, bytes + written, fits - written);
        if (result <= 0) {
            break;
        }
        written += static_cast<std::size_t>(result);
    }
    if (g_files.writableBytes) {
        *g_files.writableBytes -= written;
    }
    const bool ok = fd >= 0 && written == length;
    if (!ok) {
        g_held.lastError = fd < 0 ? 6 : 112;  // ERROR_INVALID_HANDLE, ERROR_DISK_FULL
    }
    Log(call + (ok ? " -> ok" : " -> failed"));
    return ok;
}

bool DirectoryExists(const std::wstring& path)
{
    struct stat status {};
    return ::stat(fake::Utf8(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool MakeDirectory(const std::wstring& path)
{
    const bool ok = ::mkdir(fake::Utf8(path).c_str(), 0755) == 0;
    Log("CreateDirectoryW " + fake::Utf8(path) + (ok ? " -> ok" : " -> failed"));
    return ok;
}

bool RemoveFile(const std::wstring& path)
{
    // DeleteFileW removes files only.
    struct stat status {};
    const std::string utf8 = fake::Utf8(path);
    const bool ok = ::lstat(utf8.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) &&
                    ::unlink(utf8.c_str()) == 0;
    Log("DeleteFileW " + utf8 + (ok ? " -> ok" : " -> failed"));
    return ok;
}

} // namespace vq::platform

#include "fake_files.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <sstream>

namespace vq::fake {
namespace {

struct HeldMapping {
    int fd;  // a descriptor of its own: the mapping outlives the file handle
    std::uint64_t size;
};

struct HeldView {
    void* base;
    std::size_t length;
    std::string name;
};

// What the fake has handed out, by handle value.
struct Held {
    std::map<std::uintptr_t, int> files;
    std::map<std::uintptr_t, HeldMapping> mappings;
    std::map<const void*, HeldView> views;
    std::uintptr_t nextFile = 1;
    std::uintptr_t nextMapping = 1;
    std::uintptr_t nextView = 1;
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

std::string MappingName(platform::FileMappingHandle mapping)
{
    return "mapping" + std::to_string(static_cast<std::uintptr_t>(mapping));
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

// Like the Windows calls, refuses directories.
int OpenRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// CreateFileW's creation dispositions for a file opened for writing; like
// the Windows call, refuses directories.
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
        return -1;
    }
    const int fd = ::open(path.c_str(), flags, 0644);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

platform::FileHandle HandOutFile(int fd, const std::string& call)
{
    if (fd < 0) {
        Log(call + " -> failed");
        return platform::kInvalidFileHandle;
    }
    const auto file = static_cast<platform::FileHandle>(g_held.nextFile++);
    g_held.files[static_cast<std::uintptr_t>(file)] = fd;
    Log(call + " -> " + FileName(file));
    return file;
}

int FindFile(platform::FileHandle file)
{
    const auto found = g_held.files.find(static_cast<std::uintptr_t>(file));
    return found == g_held.files.end() ? -1 : found->second;
}

std::optional<std::uint64_t> SizeOf(int fd)
{
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace

std::size_t FakeFiles::OpenCount() const
{
    return g_held.files.size() + g_held.mappings.size() + g_held.views.size();
}

FakeFiles& Files()
{
    return g_files;
}

void ResetFiles()
{
    for (const auto& [base, view] : g_held.views) {
        ::munmap(view.base, view.length);
    }
    for (const auto& [value, mapping] : g_held.mappings) {
        ::close(mapping.fd);
    }
    for (const auto& [value, fd] : g_held.files) {
        ::close(fd);
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
    const int fd = g_files.createFileFails ? -1
                   : writing ? fake::OpenForWriting(fake::Utf8(path), desiredAccess,
                                                    creationDisposition)
                             : fake::OpenRegularFile(fake::Utf8(path));
    return fake::HandOutFile(fd, call.str());
}

std::optional<std::string> ToAnsiCodePage(const std::wstring& text)
{
    std::string ansi;
    for (const wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) >= 0x80) {
            return std::nullopt;
        }
        ansi += static_cast<char>(c);
    }
    return ansi;
}

FileHandle OpenFile(const std::string& ansiPath, std::uint32_t style)
{
    const std::string call = "OpenFile " + ansiPath + " style=" + std::to_string(style);
    const int fd = g_files.openFileFails ? -1 : fake::OpenRegularFile(ansiPath);
    return fake::HandOutFile(fd, call);
}

std::optional<std::uint64_t> GetFileSize(FileHandle file)
{
    const std::optional<std::uint64_t> size =
        g_files.fileSizeFails ? std::nullopt : fake::SizeOf(fake::FindFile(file));
    Log("GetFileSize " + fake::FileName(file) + " -> " +
        (size ? std::to_string(*size) : std::string("failed")));
    return size;
}

FileMappingHandle CreateFileMapping(FileHandle file, std::uint32_t protect,
                                    std::uint64_t maximumSize)
{
    std::ostringstream call;
    call << "CreateFileMappingW " << fake::FileName(file) << std::hex << " protect=0x" << protect
         << std::dec << " size=" << maximumSize;
    const std::optional<std::uint64_t> fileSize = fake::SizeOf(fake::FindFile(file));
    const std::uint64_t size = maximumSize == 0 && fileSize ? *fileSize : maximumSize;
    // A read-only mapping cannot grow the file, and an empty one is refused.
    if (g_files.mappingFails || !fileSize || protect != kPageReadOnly || size == 0 ||
        size > *fileSize) {
        Log(call.str() + " -> failed");
        return kNoFileMapping;
    }
    const int fd = ::fcntl(fake::FindFile(file), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        Log(call.str() + " -> failed");
        return kNoFileMapping;
    }
    const auto mapping = static_cast<FileMappingHandle>(g_held.nextMapping++);
    g_held.mappings[static_cast<std::uintptr_t>(mapping)] = {fd, size};
    Log(call.str() + " -> " + fake::MappingName(mapping));
    return mapping;
}

FileView MapViewOfFile(FileMappingHandle mapping, std::uint32_t desiredAccess,
                       std::uint64_t offset, std::size_t length)
{
    std::ostringstream call;
    call << "MapViewOfFile " << fake::MappingName(mapping) << std::hex << " access=0x"
         << desiredAccess << std::dec << " offset=" << offset << " length=" << length;
    const auto found = g_held.mappings.find(static_cast<std::uintptr_t>(mapping));
    void* base = MAP_FAILED;
    if (found != g_held.mappings.end() && desiredAccess == kFileMapRead &&
        offset % kAllocationGranularity == 0 && offset < found->second.size) {
        // A length of 0 maps the rest of the mapping.
        const std::uint64_t viewLength = length == 0 ? found->second.size - offset : length;
        if (viewLength <= found->second.size - offset && viewLength <= g_files.maxViewLength) {
            length = static_cast<std::size_t>(viewLength);
            base = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, found->second.fd,
                          static_cast<off_t>(offset));
        }
    }
    if (base == MAP_FAILED) {
        Log(call.str() + " -> failed");
        return nullptr;
    }
    const std::string name = "view" + std::to_string(g_held.nextView++);
    g_held.views[base] = {base, length, name};
    Log(call.str() + " -> " + name);
    return base;
}

void UnmapViewOfFile(FileView view) noexcept
{
    const auto found = g_held.views.find(view);
    if (found == g_held.views.end()) {
        Log("UnmapViewOfFile unknown");
        return;
    }
    ::munmap(found->second.base, found->second.length);
    Log("UnmapViewOfFile " + found->second.name);
    g_held.views.erase(found);
}

void CloseHandle(FileHandle file) noexcept
{
    const auto found = g_held.files.find(static_cast<std::uintptr_t>(file));
    if (found == g_held.files.end()) {
        Log("CloseHandle unknown");
        return;
    }
    ::close(found->second);
    Log("CloseHandle " + fake::FileName(file));
    g_held.files.erase(found);
}

void CloseHandle(FileMappingHandle mapping) noexcept
{
    const auto found = g_held.mappings.find(static_cast<std::uintptr_t>(mapping));
    if (found == g_held.mappings.end()) {
        Log("CloseHandle unknown");
        return;
    }
    ::close(found->second.fd);
    Log("CloseHandle " + fake::MappingName(mapping));
    g_held.mappings.erase(found);
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
    const int fd = fake::FindFile(file);
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

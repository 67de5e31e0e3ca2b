// The order of the steps is what keeps the file sound; the platform parts
// (POSIX descriptors, Win32 handles) only open, write, cut, flush and
// rename.
#include "settings/file_rewrite.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include "common/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace settings {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32

class File {
public:
    // The file as it is, for writing; missing tells a file that is not
    // there from one that refuses.
    static std::optional<File> openExisting(const fs::path& path, bool& missing)
    {
        // Others may keep reading and writing it, as with any profile file.
        const HANDLE handle =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = ::GetLastError();
        missing = handle == INVALID_HANDLE_VALUE &&
                  (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
        if (handle == INVALID_HANDLE_VALUE)
            return std::nullopt;
        return File(handle);
    }

    static std::optional<File> createNew(const fs::path& path)
    {
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return std::nullopt;
        return File(handle);
    }

    File(File&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    File& operator=(File&&) = delete;
    ~File() { close(); }

    bool regular() const { return ::GetFileType(handle_) == FILE_TYPE_DISK; }

    std::optional<std::uint64_t> size() const
    {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(handle_, &size))
            return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    bool writeAt(std::uint64_t offset, std::string_view bytes)
    {
        while (!bytes.empty()) {
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(handle_, bytes.data(), chunk, &written, &at) || written == 0)
                return false;
            bytes.remove_prefix(written);
            offset += written;
        }
        return true;
    }

    bool resize(std::uint64_t size)
    {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        return ::SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle_);
    }

    bool sync() { return ::FlushFileBuffers(handle_); }

    // Windows files carry no owner or mode bits of this kind; the new file
    // takes the directory's inherited access rights.
    bool takeOwnerAndModeOf(const File&) { return true; }

    bool close()
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return true;
        return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }

private:
    explicit File(HANDLE handle) : handle_(handle) {}
    HANDLE handle_;
};

bool renameOver(const fs::path& from, const fs::path& to)
{
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

#else

class File {
public:
    // The file as it is, for writing; missing tells a file that is not
    // there from one that refuses.
    static std::optional<File> openExisting(const fs::path& path, bool& missing)
    {
        // O_NONBLOCK: a FIFO in the file's place must not hang the exit.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        missing = fd < 0 && errno == ENOENT;
        if (fd < 0)
            return std::nullopt;
        return File(fd);
    }

    static std::optional<File> createNew(const fs::path& path)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0)
            return std::nullopt;
        return File(fd);
    }

    File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    File& operator=(File&&) = delete;
    ~File() { close(); }

    bool regular() const
    {
        struct stat st;
        return ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    }

    std::optional<std::uint64_t> size() const
    {
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }

    bool writeAt(std::uint64_t offset, std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
            offset += static_cast<std::uint64_t>(written);
        }
        return true;
    }

    bool resize(std::uint64_t size)
    {
        int result;
        do
            result = ::ftruncate(fd_, static_cast<off_t>(size));
        while (result != 0 && errno == EINTR);
        return result == 0;
    }

    bool sync() { return ::fsync(fd_) == 0; }

    // A replacement that changed the owner or the group would take the
    // file away from the others who share it; only a file that can be made
    // the same may replace it.
    bool takeOwnerAndModeOf(const File& original)
    {
        struct stat was, is;
        if (::fstat(original.fd_, &was) != 0 || ::fstat(fd_, &is) != 0)
            return false;
        // Owner first: a change of owner clears the set-id bits of the mode.
        if ((was.st_uid != is.st_uid || was.st_gid != is.st_gid) &&
            ::fchown(fd_, was.st_uid, was.st_gid) != 0)
            return false;
        return ::fchmod(fd_, was.st_mode & 07777) == 0;
    }

    bool close()
    {
        if (fd_ < 0)
            return true;
        // The descriptor is gone whatever close reports; an error is a
        // delayed write error (a network file system) and counts.
        return ::close(std::exchange(fd_, -1)) == 0;
    }

private:
    explicit File(int fd) : fd_(fd) {}
    int fd_;
};

bool renameOver(const fs::path& from, const fs::path& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The new name lasts a power cut only once the directory is on disk;
    // the rename has happened either way, so a failure here is not one.
    fs::path directory = to.parent_path();
    if (directory.empty())
        directory = ".";
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

#endif

void removeFile(const fs::path& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

// A settings file that is a symlink (e.g. to a shared profile) is written
// through: renaming over the link would replace it with a plain file.
std::optional<fs::path> throughSymlink(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)))
        return path;
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec)
        return std::nullopt;
    return resolved;
}

// The whole contents written to a new file beside the target, flushed to
// disk and renamed over it. existing, the target opened for writing when it
// exists, is closed before the rename: Windows does not replace an open file.
bool replaceBeside(const fs::path& target, std::string_view bytes, std::optional<File>& existing)
{
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(std::random_device{}());
    auto file = File::createNew(temporary);
    if (!file)
        return false;
    bool ok = (!existing || file->takeOwnerAndModeOf(*existing)) && file->writeAt(0, bytes) && file->sync();
    ok = file->close() && ok;
    if (ok) {
        existing.reset();
        ok = renameOver(temporary, target);
    }
    if (!ok)
        removeFile(temporary);
    return ok;
}

bool rewriteInPlace(File& file, std::string_view bytes)
{
    if (!file.regular()) {
        // A device such as /dev/null takes the bytes as they come; there is
        // no length to keep.
        const bool ok = file.writeAt(0, bytes);
        return file.close() && ok;
    }
    const auto oldSize = file.size();
    if (!oldSize)
        return false;
    const std::uint64_t newSize = bytes.size();
    // Only lengthening can run out of space, quota or the size limit: that
    // part goes first, behind the old contents, so a failure is undone by
    // cutting the file back. Until the overwrite below the file reads as
    // before: a reader takes the first of two keys of one name.
    if (newSize > *oldSize && !file.writeAt(*oldSize, bytes.substr(static_cast<std::size_t>(*oldSize)))) {
        file.resize(*oldSize);
        file.close();
        return false;
    }
    const std::size_t overwrite = static_cast<std::size_t>(std::min(newSize, *oldSize));
    bool ok = file.writeAt(0, bytes.substr(0, overwrite)) && (newSize >= *oldSize || file.resize(newSize)) &&
              file.sync();
    return file.close() && ok;
}

}  // namespace

bool rewriteFile(const fs::path& path, std::string_view bytes)
{
    const auto target = throughSymlink(path);
    if (!target)
        return false;
    bool missing = false;
    std::optional<File> existing = File::openExisting(*target, missing);
    // The file itself refuses to be written (read-only, a directory): it
    // is kept, whatever its directory would allow.
    if (!existing && !missing)
        return false;
    if (existing && !existing->regular())
        return rewriteInPlace(*existing, bytes);

    if (replaceBeside(*target, bytes, existing))
        return true;
    if (missing)
        return false;  // nothing to write in place
    if (existing)
        return rewriteInPlace(*existing, bytes);
    auto reopened = File::openExisting(*target, missing);  // closed for a rename that failed
    return reopened && rewriteInPlace(*reopened, bytes);
}

}  // namespace settings

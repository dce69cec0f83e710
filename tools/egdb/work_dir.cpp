#include "work_dir.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace tarnvel::egdbtool {

namespace {

namespace fs = std::filesystem;

constexpr const char* MANIFEST = "manifest.txt";
std::string workDir;
std::string workIdentity;

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " '" + path + "': " + std::strerror(error) +
           (error == ENOSPC || error == EDQUOT ? " (the finished materials are kept; free some space and "
                                                "run the same command again)"
                                              : "");
}

bool writeAll(int fd, const Part& part) {
    const auto* at = static_cast<const uint8_t*>(part.data);
    for (size_t left = part.bytes; left > 0;) {
        const ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        at += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool openWorkDirectory(const std::string& dir, const std::string& identity, std::vector<std::string>* notes,
                       std::string* problem) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (!fs::is_directory(dir)) {
        *problem = "cannot create work directory '" + dir + "'" + (error ? ": " + error.message() : "");
        return false;
    }
    workDir = dir;
    workIdentity = identity;
    notes->clear();
    std::ifstream in(workPath(MANIFEST), std::ios::binary);
    if (!in) return writeManifestNotes({}, problem);
    const std::string found{std::istreambuf_iterator<char>(in), {}};
    if (found.starts_with(identity)) {
        std::istringstream rest(found.substr(identity.size()));
        for (std::string line; std::getline(rest, line);) notes->push_back(line);
        return true;
    }
    std::string says = found.substr(0, 200);
    for (char& c : says)
        if (c == '\n') c = ' ';
    *problem = "work directory '" + dir + "' belongs to another build (" + says + "); give another --work or remove it";
    return false;
}

bool writeManifestNotes(const std::vector<std::string>& notes, std::string* problem) {
    std::string text = workIdentity;
    for (const std::string& note : notes) text += note + "\n";
    const Part part{text.data(), text.size()};
    return writeAtomically(workPath(MANIFEST), &part, 1, problem);
}

std::string workPath(const std::string& name) { return (fs::path(workDir) / name).string(); }

bool writeAtomically(const std::string& path, const Part* parts, int count, std::string* problem) {
    const std::string temporary = path + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *problem = failure("cannot create", temporary, errno);
        return false;
    }
    errno = 0;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) ok = writeAll(fd, parts[i]);
    ok = ok && ::fsync(fd) == 0;
    const int writeError = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        *problem = failure("cannot write", temporary, writeError ? writeError : errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        *problem = failure("cannot rename to", path, errno);
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself must reach the disk before the file counts as kept.
    const int dirFd = ::open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

const uint8_t* mapReadOnly(const std::string& path, uint64_t bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    void* data = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) == bytes && bytes > 0)
        data = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    return data == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(data);
}

void unmap(const uint8_t* data, uint64_t bytes) {
    if (data) ::munmap(const_cast<uint8_t*>(data), bytes);
}

}  // namespace tarnvel::egdbtool

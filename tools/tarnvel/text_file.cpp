#include "text_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnvel::cli {

namespace {
std::string reason(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

bool appendWhole(const std::string& path, std::string_view text, std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = reason("open", path);
        return false;
    }
    // A part written (a full disk) is taken back, so the file keeps whole texts.
    const off_t size = lseek(fd, 0, SEEK_END);
    bool ok = size >= 0;
    while (ok && !text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        ok = n > 0 || (n < 0 && errno == EINTR);
        if (n > 0) text.remove_prefix(static_cast<size_t>(n));
    }
    if (!ok) {
        error = reason("write", path);
        if (size >= 0 && ftruncate(fd, size) != 0)
            error += " (and cannot take back the part written)";
    }
    if (close(fd) != 0 && ok) {
        error = reason("write", path);
        ok = false;
    }
    return ok;
}

}  // namespace

bool readTextFile(const std::string& path, std::string& text, std::string& error) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = reason("open", path);
        return false;
    }
    text.clear();
    char buffer[1 << 14];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
    const bool ok = !std::ferror(in);
    if (!ok) error = reason("read", path);
    std::fclose(in);
    return ok;
}

bool writeTextFile(const std::string& path, const std::string& text, const char* mode,
                   std::string& error) {
    FILE* out = std::fopen(path.c_str(), mode);
    if (!out) {
        error = reason("open", path);
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) error = reason("write", path);
    return ok;
}

bool appendTogether(const std::vector<std::pair<std::string, std::string_view>>& parts,
                    std::string& error) {
    sigset_t held, before;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, s);
    sigprocmask(SIG_BLOCK, &held, &before);
    bool ok = true;
    for (const auto& [path, text] : parts) ok = ok && appendWhole(path, text, error);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    return ok;
}

}  // namespace tarnvel::cli

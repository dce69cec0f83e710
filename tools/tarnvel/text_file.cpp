#include "text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnvel::cli {

namespace {
std::string reason(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
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

}  // namespace tarnvel::cli

#include "engine_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace tarnvel::cli {

namespace {

// Larger than the engine's own bound, for engines that write more.
constexpr size_t REPLY_BUFFER_SIZE = 4 * TARNVEL_REPLY_CAPACITY;

constexpr const char* LIBRARY_FILE = "libTarnvel.so";
constexpr const char* LIBRARY_FILE_2 = "libTarnvel2.so";

void* loadLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "unknown error";
    }
    return handle;
}

std::string executablePath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

// A private copy in a file only this process can have created.
std::string privateCopy(const std::string& path, std::string& error) {
    std::error_code ec;
    std::string name =
        (std::filesystem::temp_directory_path(ec) / "tarnvel-engine-XXXXXX.so").string();
    const int fd = ec ? -1 : mkstemps(name.data(), 3);
    FILE* in = std::fopen(path.c_str(), "rb");
    bool ok = fd >= 0 && in;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n == 0) break;
        ok = write(fd, buffer.data(), n) == static_cast<ssize_t>(n);
    }
    ok = ok && !std::ferror(in);
    if (in) std::fclose(in);
    if (fd >= 0) close(fd);
    if (!ok) {
        if (fd >= 0) unlink(name.c_str());
        error = "cannot make a private copy of the library";
        return {};
    }
    return name;
}

bool bindEntryPoints(EngineLibrary& engine, std::string& error) {
    engine.getmove = reinterpret_cast<GetMoveFunction>(dlsym(engine.handle, "getmove"));
    engine.enginecommand =
        reinterpret_cast<EngineCommandFunction>(dlsym(engine.handle, "enginecommand"));
    if (engine.getmove && engine.enginecommand) return true;
    error = std::string("not a checkers engine library (no ") +
            (engine.getmove ? "enginecommand" : "getmove") + " entry point)";
    return false;
}

// Beside the program in the build tree; in the library directory once
// installed (TARNVEL_INSTALLED_LIBRARY_DIR is relative to the program's).
std::string libraryBesideProgram(const char* file) {
    const std::filesystem::path self = executablePath();
    if (self.empty()) return file;
    const std::filesystem::path beside = self.parent_path() / file;
    const std::filesystem::path installed =
        self.parent_path() / TARNVEL_INSTALLED_LIBRARY_DIR / file;
    std::error_code ec;
    return (std::filesystem::exists(beside, ec) || !std::filesystem::exists(installed, ec)
                ? beside
                : installed.lexically_normal())
        .string();
}

}  // namespace

std::string defaultEngineLibraryPath() { return libraryBesideProgram(LIBRARY_FILE); }

std::string engineLibraryPath(const std::string& nameOrPath) {
    if (nameOrPath == "v1.3" || nameOrPath == "1.3") return libraryBesideProgram(LIBRARY_FILE);
    if (nameOrPath == "2" || nameOrPath == "v2" || nameOrPath == "2.0")
        return libraryBesideProgram(LIBRARY_FILE_2);
    return nameOrPath;
}

bool openEngineLibrary(const std::string& path, EngineLibrary& engine, std::string& error,
                       const EngineLibrary* separateFrom) {
    engine = EngineLibrary{};
    engine.path = path;
    // A bare file name means the file here, not one on the system's search path.
    std::string where = path;
    if (where.find('/') == std::string::npos && std::filesystem::exists(where))
        where = "./" + where;
    std::string why;
    engine.handle = loadLibrary(where, why);
    if (engine.handle && separateFrom && engine.handle == separateFrom->handle) {
        dlclose(engine.handle);
        engine.handle = nullptr;
        const std::string copy = privateCopy(where, why);
        if (!copy.empty()) {
            engine.handle = loadLibrary(copy, why);
            // The mapping outlives the name: nothing is left behind, even on a crash.
            unlink(copy.c_str());
        }
    }
    if (!engine.handle) {
        error = "cannot load engine library '" + path + "': " + why;
        return false;
    }
    if (!bindEntryPoints(engine, why)) {
        error = "'" + path + "' is " + why;
        dlclose(engine.handle);
        engine = EngineLibrary{};
        return false;
    }
    return true;
}

std::string engineCommand(const EngineLibrary& engine, const char* command) {
    std::vector<char> reply(REPLY_BUFFER_SIZE, '\0');
    const int known = engine.enginecommand(command, reply.data());
    reply.back() = '\0';
    return known ? std::string(reply.data()) : std::string();
}

std::string engineName(const EngineLibrary& engine) {
    std::string name = engineCommand(engine, "name");
    if (name.empty()) name = std::filesystem::path(engine.path).filename().string();
    return name;
}

}  // namespace tarnvel::cli

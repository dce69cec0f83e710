// tarnvel serve's request handler, without sockets, on "METHOD PATH\nBODY"
// inputs; the game carries over between inputs, a search is stopped at once.
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <set>
#include <string_view>

#include "fuzz_support.h"
#include "serve_api.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

static cli::ServeState* state;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory(true);
    char reply[TARNVEL_REPLY_CAPACITY];
    enginecommand("set hashsize 1", reply);
    state = new cli::ServeState({cli::EngineLibrary{nullptr, getmove, enginecommand, "fuzz"}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view head = input.substr(0, input.find('\n'));
    const std::string_view body = input.substr(std::min(size, head.size() + 1));
    const size_t blank = head.find(' ');
    const std::string_view method = head.substr(0, blank);
    const std::string_view path = blank == head.npos ? "" : head.substr(blank + 1);
    const cli::HttpReply reply = cli::handleRequest(*state, method, path, body);
    cli::finishSearch(*state);
    static const std::set<int> KNOWN = {200, 202, 400, 404, 405, 409, 413};
    if (!KNOWN.count(reply.status) || reply.body.empty()) std::abort();
    if (reply.contentType != "application/json") return 0;
    const nlohmann::json value = nlohmann::json::parse(reply.body, nullptr, false);
    if (value.is_discarded()) std::abort();
    if (reply.status < 400) return 0;
    const auto error = value.find("error");
    if (error == value.end() || !error->is_string()) std::abort();
    if (error->get<std::string>().find_first_of("\r\n") != std::string::npos) std::abort();
    return 0;
}

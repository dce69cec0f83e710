// tarnvel serve's request handler on arbitrary requests, without sockets:
// "METHOD PATH" on the first line, the body after it. The game carries
// over from one input to the next; a search is stopped and waited for.
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string_view>

#include "fuzz_support.h"
#include "serve_api.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

namespace {
cli::ServeState* state;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::silenceStandardOutput();
    fuzz::enterScratchDirectory();
    fuzz::writeSmallDatabase(3);
    char reply[TARNVEL_REPLY_CAPACITY];
    enginecommand("set hashsize 1", reply);
    state = new cli::ServeState(cli::EngineLibrary{nullptr, getmove, enginecommand, "fuzz"});
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
    const bool known = reply.status == 200 || reply.status == 202 || reply.status == 400 ||
                       reply.status == 404 || reply.status == 405 || reply.status == 409 ||
                       reply.status == 413;
    if (!known || reply.body.empty()) std::abort();
    if (reply.contentType != "application/json") return 0;
    const nlohmann::json value = nlohmann::json::parse(reply.body, nullptr, false);
    if (value.is_discarded()) std::abort();
    if (reply.status < 400) return 0;
    const auto error = value.find("error");
    if (error == value.end() || !error->is_string()) std::abort();
    if (error->get<std::string>().find_first_of("\r\n") != std::string::npos) std::abort();
    return 0;
}

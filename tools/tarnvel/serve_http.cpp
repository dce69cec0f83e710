#include "serve_http.h"

#include "serve_api.h"

namespace tarnvel::cli {

namespace {

// Another site's page in the user's browser may send requests here: plain
// posts go anywhere without asking, and a name of the attacker's that
// resolves to this machine even lets it read the answers. So the Host must
// be localhost or an address (a rebinding needs a name), and every change
// must come as JSON, which another site cannot send without a preflight
// that this server never grants.
bool fromThisPage(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    if (!host.empty() && host.front() != '[') {
        host = host.substr(0, host.find(':'));
        const bool address = host.find_first_not_of("0123456789.") == std::string::npos;
        if (!address && host != "localhost") return false;
    }
    if (request.method == "GET" || request.method == "HEAD") return true;
    return request.get_header_value("Content-Type").rfind("application/json", 0) == 0;
}

}  // namespace

void routeRequests(httplib::Server& server, ServeState& state) {
    const auto handler = [&state](const httplib::Request& request, httplib::Response& response) {
        const HttpReply r = fromThisPage(request)
                                ? handleRequest(state, request.method, request.path, request.body)
                                : HttpReply{403, "application/json",
                                            R"({"error":"only the page served here may use the API"})"};
        response.status = r.status;
        response.set_content(r.body, r.contentType.c_str());
        response.set_header("Cache-Control", "no-store");
    };
    // Somewhat over the handler's own limit, so that it answers with its
    // JSON message; far larger bodies are cut off before they are read.
    server.set_payload_max_length(4 * MAX_REQUEST_BODY);
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);
}

}  // namespace tarnvel::cli

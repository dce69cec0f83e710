#include "serve_http.h"

#include "serve_api.h"

namespace tarnvel::cli {

void routeRequests(httplib::Server& server, ServeState& state) {
    const auto handler = [&state](const httplib::Request& request, httplib::Response& response) {
        const HttpReply r = handleRequest(state, request.method, request.path, request.body);
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

#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qrv::web {

// A request as the routes see it, apart from the server library, so that the
// rules about sessions, roles and parameters can be tested without sockets.
struct HttpRequest {
    std::string method;
    // Percent-decoding is the route's business: an encoded slash must not
    // turn into a path separator before the route has checked it.
    std::string path;
    std::string query;
    // Names in lower case.
    std::map<std::string, std::string> headers;
    std::string body;
    std::string remoteAddress;
    bool tls = false;

    std::string Header(const std::string& lowerName) const {
        const auto found = headers.find(lowerName);
        return found == headers.end() ? std::string() : found->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;

    void AddHeader(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
    }
    std::string HeaderValue(const std::string& name) const {
        for (const auto& [key, value] : headers) {
            if (key == name) {
                return value;
            }
        }
        return {};
    }
};

// {"error": text} with the status.
HttpResponse ErrorResponse(int status, const std::string& text);
HttpResponse JsonResponse(int status, const std::string& body);

}  // namespace qrv::web

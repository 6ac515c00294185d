#include "web/web_server.h"

#include <chrono>
#include <optional>

#include <fmt/format.h>

#include "config/web_config_section.h"
#include "web/listen_retry.h"
#include "web/tls_certificate.h"

namespace qrv::web {

WebServer::WebServer(const Parts& parts)
    : parts_(parts),
      push_(std::make_unique<LivePush>(parts.station,
                                       static_cast<std::size_t>(parts.config.maxStreams))),
      files_(parts.pagesRoot, StaticFiles::FindChartJs()) {
    if (!parts_.reportTool.empty()) {
        reports_ = std::make_unique<ReportService>(
            parts_.reportTool, parts_.station.StationDirectory(),
            parts_.station.StationDirectory() / "web-reports",
            std::chrono::seconds(parts_.config.reportTimeoutSeconds));
    }
    app_ =
        std::make_unique<WebApp>(WebAppParts{parts_.config, parts_.station, parts_.accounts, *push_,
                                             files_, parts_.clock, parts_.log, reports_.get()});
    std::optional<ServerCertificate> certificate;
    if (parts_.config.Tls()) {
        certificate = ReadServerCertificate(parts_.config.certFile, parts_.config.keyFile);
        if (!certificate->problem.empty()) {
            problem_ = certificate->problem;
            return;
        }
    }
    auto loop = std::make_unique<ServerLoop>(parts_.config, *app_, *push_,
                                             certificate ? &*certificate : nullptr);
    if (!loop->Problem().empty()) {
        problem_ = loop->Problem();
        listenFailed_ = loop->ListenFailed();
        return;
    }
    port_ = loop->Port();
    loop_ = std::move(loop);
}

WebServer::~WebServer() {
    // The loop ends the live pages and lets its workers finish before the
    // routes and the feed's follower go.
    loop_.reset();
    push_.reset();
}

std::unique_ptr<RetriedWebServer> StartWebServer(const WebServer::Parts& parts,
                                                 std::chrono::milliseconds retryEvery) {
    if (!parts.config.enabled) {
        return nullptr;
    }
    if (parts.config.certFile.empty() != parts.config.keyFile.empty()) {
        // Plain HTTP where HTTPS was meant would send passwords in the clear.
        parts.log.LogProblem(
            "Web server not started: [web] names a certificate or a key but not both");
        return nullptr;
    }
    const bool beyondLoopback = !IsLoopbackListen(parts.config.listen);
    if (beyondLoopback && parts.accounts.Empty()) {
        parts.log.LogProblem(fmt::format(
            "Web server not started: it would listen on {} beyond this machine while no "
            "account exists (add one with: quorvanel-station user add NAME --role ROLE)",
            parts.config.listen));
        return nullptr;
    }
    if (beyondLoopback && !parts.config.Tls()) {
        if (!parts.config.allowPlainHttp) {
            parts.log.LogProblem(fmt::format(
                "Web server not started: it would send passwords in the clear on {}; give it a "
                "certificate and key ([web] cert, key) or, behind a proxy that encrypts, set "
                "[web] allow_plain_http = true",
                parts.config.listen));
            return nullptr;
        }
        parts.log.LogProblem(fmt::format(
            "Warning: the web server serves plain HTTP on {} ([web] allow_plain_http): passwords "
            "and session cookies cross the network unencrypted",
            parts.config.listen));
    }
    auto server = std::make_unique<WebServer>(parts);
    if (!server->Running() && !server->MayListenLater()) {
        parts.log.LogProblem("Web server not started: " + server->Problem());
        return nullptr;
    }
    return std::make_unique<RetriedWebServer>(parts, std::move(server), retryEvery);
}

}  // namespace qrv::web

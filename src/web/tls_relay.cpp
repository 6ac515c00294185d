#include "web/tls_relay.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "web/request_head.h"

namespace qrv::web {

namespace {

// TLS 1.2 and 1.3 only, GnuTLS's usual ciphers within them.
constexpr const char* kPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";
// One TLS record's worth of plain text.
constexpr std::size_t kChunk = std::size_t{16} * 1024;
// What each direction holds before it stops taking more from its source, so
// that a side that does not read holds back the other, not the station's
// memory.
constexpr std::size_t kHeld = std::size_t{64} * 1024;

bool Waits(int result) {
    return result == GNUTLS_E_AGAIN || result == GNUTLS_E_INTERRUPTED;
}

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

}  // namespace

TlsServerCredentials::TlsServerCredentials(const ServerCertificate& certificate) {
    const gnutls_datum_t cert = Datum(certificate.certPem);
    const gnutls_datum_t key = Datum(certificate.keyPem);
    int result = gnutls_certificate_allocate_credentials(&credentials_);
    if (result >= 0) {
        result = gnutls_certificate_set_x509_key_mem2(credentials_, &cert, &key,
                                                      GNUTLS_X509_FMT_PEM, nullptr, 0);
    }
    if (result >= 0) {
        result = gnutls_priority_init2(&priorities_, kPriorities, nullptr, 0);
    }
    if (result < 0) {
        problem_ = gnutls_strerror(result);
    }
}

TlsServerCredentials::~TlsServerCredentials() {
    if (priorities_ != nullptr) {
        gnutls_priority_deinit(priorities_);
    }
    if (credentials_ != nullptr) {
        gnutls_certificate_free_credentials(credentials_);
    }
}

TlsRelay::TlsRelay(int clientFd, const TlsServerCredentials& credentials) : clientFd_(clientFd) {
    if (gnutls_init(&session_, GNUTLS_SERVER | GNUTLS_NONBLOCK | GNUTLS_NO_SIGNAL) < 0 ||
        gnutls_priority_set(session_, credentials.priorities_) < 0 ||
        gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials.credentials_) < 0) {
        broken_ = true;
        return;
    }
    gnutls_certificate_server_set_request(session_, GNUTLS_CERT_IGNORE);
    // The station's own deadline bounds the handshake, counted with the
    // request's from the connection's start.
    gnutls_handshake_set_timeout(session_, GNUTLS_INDEFINITE_TIMEOUT);
    gnutls_transport_set_int(session_, clientFd_);
}

TlsRelay::~TlsRelay() {
    if (session_ != nullptr) {
        gnutls_deinit(session_);
    }
    ::close(clientFd_);
    if (nearFd_ >= 0) {
        ::close(nearFd_);
    }
}

bool TlsRelay::Pump() {
    bool moved = false;
    bool again = true;
    while (again && !broken_) {
        if (!handshakeDone_ && !Handshake()) {
            break;
        }
        again = SendToClient();
        again = ReceiveFromClient() || again;
        again = PassToLibrary() || again;
        again = TakeFromLibrary() || again;
        moved = moved || again;
    }
    if (Finished() && !broken_ && handshakeDone_) {
        // Said once, without waiting for the client's own.
        gnutls_bye(session_, GNUTLS_SHUT_WR);
    }
    return moved;
}

bool TlsRelay::Handshake() {
    int result = GNUTLS_E_SUCCESS;
    // A warning (an alert the client may send) leaves the handshake to go
    // on at once: what follows it may already be here, with no edge to come.
    do {
        result = gnutls_handshake(session_);
    } while (result < 0 && !Waits(result) && gnutls_error_is_fatal(result) == 0);
    if (result == GNUTLS_E_SUCCESS) {
        handshakeDone_ = true;
        return true;
    }
    broken_ = !Waits(result);
    return false;
}

bool TlsRelay::SendToClient() {
    bool moved = false;
    while (Sending()) {
        // A send cut short by a full socket is finished with the same
        // record, which GnuTLS still holds.
        const ssize_t sent = sendRetry_ ? gnutls_record_send(session_, nullptr, 0)
                                        : gnutls_record_send(session_, toClient_.data(),
                                                             std::min(toClient_.size(), kChunk));
        if (sent >= 0) {
            toClient_.erase(0, static_cast<std::size_t>(sent));
            sendRetry_ = false;
            moved = true;
        } else {
            sendRetry_ = Waits(static_cast<int>(sent));
            broken_ = !sendRetry_;
            return moved;
        }
    }
    return moved;
}

bool TlsRelay::ReceiveFromClient() {
    bool moved = false;
    // Before the head has been looked at, only as much as makes it too large.
    const std::size_t room = Joined() ? kHeld : kMaxHeadBytes + 1;
    while (!answered_ && !clientEnded_ && fromClient_.size() < room) {
        std::array<char, kChunk> buffer{};
        const ssize_t got = gnutls_record_recv(session_, buffer.data(), buffer.size());
        if (got > 0) {
            fromClient_.append(buffer.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || got == GNUTLS_E_PREMATURE_TERMINATION) {
            clientEnded_ = true;
        } else if (Waits(static_cast<int>(got))) {
            return moved;
        } else if (gnutls_error_is_fatal(static_cast<int>(got)) != 0) {
            broken_ = true;
            return moved;
        }
        moved = true;
    }
    return moved;
}

bool TlsRelay::PassToLibrary() {
    if (!Joined() || answered_) {
        return false;
    }
    bool moved = false;
    if (!fromClient_.empty()) {
        const ssize_t sent =
            ::send(nearFd_, fromClient_.data(), fromClient_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            fromClient_.erase(0, static_cast<std::size_t>(sent));
            moved = true;
        } else if (sent < 0 && !WouldBlock()) {
            // The library has closed its end: what it did not take is lost
            // to it either way.
            fromClient_.clear();
        }
    }
    if (clientEnded_ && fromClient_.empty() && !nearShut_) {
        ::shutdown(nearFd_, SHUT_WR);
        nearShut_ = true;
        moved = true;
    }
    return moved;
}

bool TlsRelay::TakeFromLibrary() {
    bool moved = false;
    while (Joined() && !libraryEnded_ && toClient_.size() < kHeld) {
        std::array<char, kChunk> buffer{};
        const ssize_t got = ::recv(nearFd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got < 0 && WouldBlock()) {
            return moved;
        }
        if (got <= 0) {
            libraryEnded_ = true;
        } else if (!answered_) {
            toClient_.append(buffer.data(), static_cast<std::size_t>(got));
        }
        moved = true;
    }
    return moved;
}

void TlsRelay::Join(int nearFd) {
    nearFd_ = nearFd;
    Pump();
}

void TlsRelay::Answer(const std::string& bytes) {
    answered_ = true;
    // After anything still going out (at most a "100 Continue").
    toClient_ += bytes;
    Pump();
}

bool TlsRelay::Finished() const {
    if (broken_) {
        return true;
    }
    if (!Joined() && clientEnded_ && !answered_) {
        return true;
    }
    return (answered_ || libraryEnded_) && !Sending();
}

}  // namespace qrv::web

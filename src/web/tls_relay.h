#pragma once

#include <gnutls/gnutls.h>

#include <memory>
#include <string>

#include "web/tls_certificate.h"

namespace qrv::web {

// The server's certificate, key and protocol choice, made once and shared by
// every connection's session.
class TlsServerCredentials {
  public:
    // Problem() says why not when the pair cannot serve.
    explicit TlsServerCredentials(const ServerCertificate& certificate);
    ~TlsServerCredentials();
    TlsServerCredentials(const TlsServerCredentials&) = delete;
    TlsServerCredentials& operator=(const TlsServerCredentials&) = delete;

    const std::string& Problem() const { return problem_; }

  private:
    friend class TlsRelay;
    gnutls_certificate_credentials_t credentials_ = nullptr;
    gnutls_priority_t priorities_ = nullptr;
    std::string problem_;
};

// One TLS client's connection, decrypted by the station itself so that the
// server library only ever sees plain HTTP, and the station sees (and may
// refuse) each head before it, as over plain HTTP. Nothing in it waits: every
// step goes as far as the sockets allow now and is taken up again when one of
// its two sockets is ready (edge-triggered), never blocking the event thread.
//
// It decrypts the client's bytes, keeps the head until the station has
// looked at it, then passes everything on to the near end of a socket pair
// whose far end the library serves; what the library answers goes back
// encrypted.
class TlsRelay {
  public:
    // Takes the accepted, non-blocking client socket.
    TlsRelay(int clientFd, const TlsServerCredentials& credentials);
    ~TlsRelay();
    TlsRelay(const TlsRelay&) = delete;
    TlsRelay& operator=(const TlsRelay&) = delete;

    int ClientFd() const { return clientFd_; }
    int NearFd() const { return nearFd_; }

    // Moves every byte that can move now; whether anything moved.
    bool Pump();

    bool HandshakeDone() const { return handshakeDone_; }
    // Not yet joined to the library: what has been decrypted so far, the
    // head first.
    bool Joined() const { return nearFd_ >= 0; }
    const std::string& Received() const { return fromClient_; }
    // From now on the library gets what arrived and what is still to come.
    void Join(int nearFd);

    // The station's own answer in place of anything the library would say:
    // nothing more is read from either side, and once it has gone out the
    // relay is finished.
    void Answer(const std::string& bytes);
    bool Answered() const { return answered_; }

    // Whether bytes for the client wait for it to read.
    bool Sending() const { return !toClient_.empty() || sendRetry_; }
    // Nothing more will move: the relay can be closed.
    bool Finished() const;

  private:
    bool Handshake();
    bool SendToClient();
    bool ReceiveFromClient();
    bool PassToLibrary();
    bool TakeFromLibrary();

    int clientFd_;
    int nearFd_ = -1;
    gnutls_session_t session_ = nullptr;
    bool handshakeDone_ = false;
    bool sendRetry_ = false;
    bool clientEnded_ = false;
    bool nearShut_ = false;
    bool libraryEnded_ = false;
    bool answered_ = false;
    bool broken_ = false;
    std::string fromClient_;
    std::string toClient_;
};

}  // namespace qrv::web

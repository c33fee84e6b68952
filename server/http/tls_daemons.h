// server/http/tls_daemons.h: the HTTPS listener's daemons: the one that accepts, and those that still finish
// the connections they had when a renewed certificate replaced them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/http/served_daemon.h"

namespace lumresults {

// A certificate chain (the server's own first) and its private key, as PEM text.
struct TlsIdentity {
    std::string certificate_pem;
    std::string key_pem;
};

// GnuTLS's priorities for the listener: TLS 1.3 only, with its AEAD suites (AES-GCM, ChaCha20-Poly1305), the
// "modern" server configuration of Mozilla's TLS recommendations (version 5.7). Staff browsers all speak
// it, and it has no renegotiation: with TLS 1.2, a client may start a second handshake on a connection,
// which this library answers by closing it without an alert (harmless, but indistinguishable from
// accepting it to a scanner), and which it offers no way to refuse properly.
extern const char* const TLS_PRIORITIES;

class TlsDaemons {
public:
    // Starts a daemon serving `identity` on `listen_fd`, a listening socket, or OWN_SOCKET (it binds the
    // listener's address) or NO_SOCKET (a trial of the identity that listens nowhere). Throws
    // std::runtime_error when the library cannot start it (a bad certificate or key, say).
    using Start = std::function<std::unique_ptr<ServedDaemon>(const TlsIdentity& identity, int listen_fd)>;
    static constexpr int OWN_SOCKET = -1;
    static constexpr int NO_SOCKET = -2;

    // `linger` bounds how long a replaced daemon keeps its connections (a download, a kept-alive page).
    TlsDaemons(Start start, const TlsIdentity& identity, std::chrono::seconds linger);
    // Stops every daemon, the lingering ones too, whatever holds them: the server's workers must have
    // finished first, so that none of their connections is left suspended.
    ~TlsDaemons();
    TlsDaemons(const TlsDaemons&) = delete;
    TlsDaemons& operator=(const TlsDaemons&) = delete;

    MHD_Daemon* current() const;
    // Whether a worker holds a request of any of them.
    bool held() const;

    // New connections are served with `identity` from now on, on the same socket, so none is refused in
    // between; the connections already open finish on the old daemon, which is stopped once they are
    // closed, or after the linger once no worker holds a request of it (the library cannot stop a daemon
    // with a connection suspended). Throws, the old identity still served, when the new one cannot start.
    void replace(const TlsIdentity& identity);

    // Closes the listening socket: no new connection; the open ones are served to their end.
    void stop_accepting();

private:
    struct Retired {
        std::unique_ptr<ServedDaemon> daemon;
        std::chrono::steady_clock::time_point deadline;
    };
    void stop_retired();
    std::vector<std::unique_ptr<ServedDaemon>> take_stoppable();

    const Start start_;
    const std::chrono::seconds linger_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<ServedDaemon> current_;
    int listen_fd_ = -1; // taken from the current daemon once it stops accepting
    std::vector<Retired> retired_;
    bool stopping_ = false;
    std::thread stopper_; // stops each retired daemon once it has no connection left
};

} // namespace lumresults

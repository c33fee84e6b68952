// server/radius/accounting_listener.h: the UDP listener for the operator's RADIUS accounting, on a thread of its own.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/common/unique_resource.h"
#include "server/http/metrics.h"
#include "server/http/server.h"
#include "server/radius/radius_clients.h"
#include "server/store/store.h"

namespace lumresults::radius {

struct AccountingSettings {
    ListenAddress listen;
    std::vector<RadiusClient> clients;
    unsigned client_rate = 2000; // requests a second one client line may send; beyond, dropped (it sends again)
    std::size_t batch = 256;     // requests recorded in one transaction at most
};

struct FileDescriptorKind {
    using Native = int;
    static int none() { return -1; }
    static bool holds(int fd) { return fd >= 0; }
    static void free(int fd);
};
using FileDescriptor = lum::UniqueResource<FileDescriptorKind>;

// Reads Accounting-Requests, drops silently what is not from a known client, not signed with its secret,
// malformed or over its rate (each counted on /metrics), records the rest a batch to a transaction and
// answers each once its batch is durable; a batch that could not be recorded gets no answers, and the
// senders send again. The thread is its own: the HTTP threads never wait for it, nor it for them.
class AccountingListener {
public:
    // Binds (throws std::system_error when it cannot) and starts the thread.
    AccountingListener(SessionStore& store, Metrics& metrics, AccountingSettings settings);
    ~AccountingListener(); // stops the thread; a batch being recorded is finished and answered first
    AccountingListener(const AccountingListener&) = delete;
    AccountingListener& operator=(const AccountingListener&) = delete;

    std::string bound_address() const; // "ADDR:PORT", the port the system chose for port 0

private:
    struct Received;
    void run();
    void read_batch(std::vector<Received>& batch);
    void record_and_answer(std::vector<Received>& batch);

    SessionStore& store_;
    Metrics& metrics_;
    AccountingSettings settings_;
    ClientTable clients_;
    FileDescriptor socket_;
    FileDescriptor wake_; // an eventfd written to stop the thread
    std::thread thread_;  // last: started once everything it reads is ready
};

} // namespace lumresults::radius

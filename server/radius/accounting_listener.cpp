// server/radius/accounting_listener.cpp: accounting datagrams in, batches recorded durably, responses out.
#include "server/radius/accounting_listener.h"

#include "server/http/access_log.h"
#include "server/radius/accounting_packet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace lumresults::radius {
namespace {

// Room for a second of a busy relay's backlog while a batch commits: the kernel holds it, not the server.
constexpr int RECEIVE_BUFFER = 4 * 1024 * 1024;

[[noreturn]] void fail(const std::string& doing) { throw std::system_error(errno, std::generic_category(), doing); }

FileDescriptor bound_socket(const ListenAddress& listen) {
    const std::optional<IpAddress> address = parse_address(listen.host);
    if (!address) throw std::system_error(EINVAL, std::generic_category(), "radius-listen: " + listen.host);
    sockaddr_in6 where{};
    where.sin6_family = AF_INET6;
    where.sin6_port = htons(listen.port);
    std::memcpy(&where.sin6_addr, address->bytes.data(), 16);
    FileDescriptor fd(socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) fail("making the accounting socket");
    const int off = 0;
    setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off); // IPv4 senders arrive as mapped addresses
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &RECEIVE_BUFFER, sizeof RECEIVE_BUFFER);
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)
        fail("binding the accounting socket to " + listen.host + ":" + std::to_string(listen.port));
    return fd;
}

// The record a request makes; its event time by the node's clock when it says, else by ours less the delay.
AccountingRecord record_of(const AccountingRequest& request, const IpAddress& sender, Clock::time_point received) {
    AccountingRecord record;
    record.node_address = request.nas_ip.empty() ? format_address(sender) : request.nas_ip;
    record.node_id = request.nas_identifier;
    record.session_id = request.session_id;
    record.status = request.status;
    record.event = request.event_timestamp
                       ? Clock::time_point(std::chrono::seconds(*request.event_timestamp))
                       : std::chrono::time_point_cast<std::chrono::seconds>(received) -
                             std::chrono::seconds(request.delay_time);
    record.user_name = request.user_name;
    record.ipv4 = request.framed_ip;
    record.ipv6_prefixes = request.ipv6_prefixes;
    record.port_id = request.nas_port_id;
    record.calling_station = request.calling_station_id;
    if (request.terminate_cause) record.cause = *request.terminate_cause;
    return record;
}

// Start, Stop and Interim-Update need a session to belong to; Accounting-On and -Off a node. Other kinds
// (Failed, tunnel records) are answered, as recorded by keeping nothing.
bool worth_recording(const AccountingRequest& request) {
    switch (static_cast<AccountingStatus>(request.status)) {
    case AccountingStatus::start:
    case AccountingStatus::stop:
    case AccountingStatus::interim_update: return !request.session_id.empty();
    case AccountingStatus::accounting_on:
    case AccountingStatus::accounting_off: return true;
    }
    return false;
}

} // namespace

void FileDescriptorKind::free(int fd) { close(fd); }

struct AccountingListener::Received {
    sockaddr_in6 sender{};
    std::string response;
    std::optional<AccountingRecord> record; // empty: answered without recording anything
};

AccountingListener::AccountingListener(SessionStore& store, Metrics& metrics, AccountingSettings settings)
    : store_(store), metrics_(metrics), settings_(std::move(settings)), clients_(settings_.clients, settings_.client_rate),
      socket_(bound_socket(settings_.listen)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!wake_) fail("making the accounting listener's stop signal");
    thread_ = std::thread([this] { run(); });
}

AccountingListener::~AccountingListener() {
    const std::uint64_t one = 1;
    if (write(wake_.get(), &one, sizeof one) < 0) std::terminate(); // an eventfd write fails only when misused
    thread_.join();
}

std::string AccountingListener::bound_address() const {
    sockaddr_in6 where{};
    socklen_t size = sizeof where;
    getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&where), &size);
    const std::optional<IpAddress> address = address_of(reinterpret_cast<const sockaddr*>(&where));
    const std::string host = address ? format_address(*address) : "?";
    return (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" + std::to_string(ntohs(where.sin6_port));
}

void AccountingListener::run() {
    std::vector<Received> batch;
    batch.reserve(settings_.batch);
    pollfd waits[2] = {{socket_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    while (true) {
        if (poll(waits, 2, -1) < 0 && errno != EINTR) {
            write_log_line(std::string("lumresults: accounting: poll: ") + std::strerror(errno));
            return;
        }
        if (waits[1].revents != 0) return;
        if (waits[0].revents == 0) continue;
        batch.clear();
        read_batch(batch);
        if (!batch.empty()) record_and_answer(batch);
    }
}

// Takes what the socket holds, up to a batch: each datagram checked, the good ones kept with their answer.
void AccountingListener::read_batch(std::vector<Received>& batch) {
    char packet[MAX_PACKET + 1]; // one octet more, so that a longer datagram is seen to be too long
    for (std::size_t taken = 0; taken < settings_.batch * 4 && batch.size() < settings_.batch; ++taken) {
        Received received;
        socklen_t size = sizeof received.sender;
        const ssize_t length =
            recvfrom(socket_.get(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&received.sender), &size);
        if (length < 0) return; // EAGAIN: nothing more for now
        const std::optional<IpAddress> sender = address_of(reinterpret_cast<const sockaddr*>(&received.sender));
        const RadiusClient* client = sender ? clients_.find(*sender) : nullptr;
        if (!client) {
            metrics_.count_accounting("unknown_client");
            continue;
        }
        if (!clients_.take(*client, std::chrono::steady_clock::now())) {
            metrics_.count_accounting("over_rate");
            continue;
        }
        const ReadResult read =
            read_accounting_request({packet, static_cast<std::size_t>(length)}, client->secret);
        if (!read.request) {
            metrics_.count_accounting(fault_name(read.fault));
            continue;
        }
        received.response = accounting_response(*read.request, client->secret);
        if (worth_recording(*read.request)) received.record = record_of(*read.request, *sender, Clock::now());
        batch.push_back(std::move(received));
    }
}

void AccountingListener::record_and_answer(std::vector<Received>& batch) {
    std::vector<AccountingRecord> records;
    for (Received& received : batch)
        if (received.record) records.push_back(std::move(*received.record));
    try {
        // Durable when put_accounting returns: only then is any request of the batch answered (RFC 2866 §4.1).
        const std::vector<AccountingOutcome> outcomes = records.empty() ? std::vector<AccountingOutcome>{}
                                                                        : store_.put_accounting(records);
        for (const AccountingOutcome outcome : outcomes)
            metrics_.count_accounting(outcome == AccountingOutcome::repeat ? "repeat" : "recorded");
        for (std::size_t i = records.size(); i < batch.size(); ++i)
            metrics_.count_accounting("ignored");
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: accounting: not recorded, not answered: ") + error.what());
        for (std::size_t i = 0; i < batch.size(); ++i)
            metrics_.count_accounting("not_recorded");
        return;
    }
    for (const Received& received : batch)
        sendto(socket_.get(), received.response.data(), received.response.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&received.sender), sizeof received.sender);
}

} // namespace lumresults::radius

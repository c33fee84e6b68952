// tests/net/scripted_server.h: a one-connection server on 127.0.0.1 that answers with scripted bytes and pauses.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tests/lab/stand_in/loopback_socket.h"

namespace lum::testing_support {

// One step of the server's answer: bytes to send, then a pause before the next step.
struct Step {
    std::string bytes;
    int pause_ms = 0;
};

// Accepts one connection, keeps the request (up to its empty line), plays its steps and closes.
class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<Step> steps) : listener_(lab::listen_on_loopback(port_)) {
        server_ = std::thread([this, script = std::move(steps)] { serve(script); });
    }
    ~ScriptedServer() {
        if (server_.joinable()) server_.join();
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::int32_t port() const { return port_; }
    std::string request() {
        if (server_.joinable()) server_.join();
        return request_;
    }

private:
    void serve(const std::vector<Step>& steps) {
        if (!lab::wait_readable(listener_, 30000)) return;
        const lab::Socket client = lab::accept_connection(listener_);
        while (request_.find("\r\n\r\n") == std::string::npos && lab::wait_readable(client, 30000) &&
               lab::receive_some(client, request_)) {
        }
        for (const Step& step : steps) {
            if (!step.bytes.empty()) lab::send_all(client, step.bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(step.pause_ms));
        }
    }

    lab::SocketLibrary sockets_;
    std::uint16_t port_ = 0;
    lab::Socket listener_;
    std::thread server_;
    std::string request_;
};

} // namespace lum::testing_support

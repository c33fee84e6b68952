// tests/lab/network/multicast_sender.cpp: the operator's multicast stream in the lab: a datagram every 100 ms.
//
//   lab_multicast_sender GROUP PORT
//
// Sends 100-byte datagrams to the group from loopback (with multicast loop on, so that receivers on
// this machine see them) until it is ended. Only for the lab's network namespace, where loopback is
// the only interface.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lab_multicast_sender GROUP PORT\n");
        return 2;
    }
    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    if (sender < 0) return 1;
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    const unsigned char loop = 1;
    setsockopt(sender, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof(loopback));
    setsockopt(sender, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop));
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(static_cast<unsigned short>(std::atoi(argv[2])));
    inet_pton(AF_INET, argv[1], &group.sin_addr);
    char datagram[100] = "Lumora IPTV test stream";
    for (unsigned long count = 0;; ++count) {
        sendto(sender, datagram, sizeof(datagram), 0, reinterpret_cast<const sockaddr*>(&group), sizeof(group));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

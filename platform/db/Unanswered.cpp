#include "platform/db/Unanswered.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace db {

namespace {

// "address:port" of the peer of a TCP socket; "" when fd is no connected TCP socket.
std::string tcpPeer(int fd) {
    int type = 0;
    socklen_t len = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) return {};
    sockaddr_storage peer{};
    len = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {0};
    if (peer.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&peer);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(a->sin_port));
    }
    if (peer.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&peer);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(a->sin6_port));
    }
    return {};
}

// True when the connection has sent data after the last it received, longer ago than limitMs.
bool unanswered(int fd, unsigned limitMs) {
    tcp_info info{};
    socklen_t len = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0 || info.tcpi_state != TCP_ESTABLISHED) return false;
    return info.tcpi_last_data_sent < info.tcpi_last_data_recv && info.tcpi_last_data_recv >= limitMs;
}

}  // namespace

struct UnansweredWatch::State {
    int seconds = 0;
    std::mutex m;
    std::condition_variable cv;
    bool stop = false;
    std::vector<std::string> givenUp;
    std::thread thread;

    void scan() {
        DIR* d = opendir("/proc/self/fd");
        if (!d) return;
        const int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            char* end = nullptr;
            const long fd = std::strtol(e->d_name, &end, 10);
            if (*e->d_name == '\0' || *end != '\0' || fd <= 2 || fd == own) continue;
            const std::string peer = tcpPeer(static_cast<int>(fd));
            if (peer.empty() || !unanswered(static_cast<int>(fd), static_cast<unsigned>(seconds) * 1000u)) continue;
            ::shutdown(static_cast<int>(fd), SHUT_RDWR);
            std::lock_guard lock(m);
            givenUp.push_back(peer);
        }
        closedir(d);
    }
    void run() {
        std::unique_lock lock(m);
        while (!cv.wait_for(lock, std::chrono::milliseconds(500), [this] { return stop; })) {
            lock.unlock();
            scan();
            lock.lock();
        }
    }
};

UnansweredWatch::UnansweredWatch(int seconds) : s_(std::make_shared<State>()) {
    s_->seconds = seconds;
    s_->thread = std::thread([s = s_] { s->run(); });
}

UnansweredWatch::~UnansweredWatch() {
    {
        std::lock_guard lock(s_->m);
        s_->stop = true;
    }
    s_->cv.notify_all();
    s_->thread.join();
}

int UnansweredWatch::seconds() const { return s_->seconds; }

std::vector<std::string> UnansweredWatch::takeGivenUp() {
    std::lock_guard lock(s_->m);
    return std::exchange(s_->givenUp, {});
}

}  // namespace db

#include "delay_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <deque>
#include <memory>

namespace bench {

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void noDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void nonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

sockaddr_in address(const std::string &host, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    const std::string numeric = host == "localhost" || host.empty() ? "127.0.0.1" : host;
    inet_pton(AF_INET, numeric.c_str(), &a.sin_addr);
    return a;
}

} // namespace

// One direction of a connection: what was read and when it may be written.
struct Direction {
    struct Chunk {
        double due;
        std::string bytes; // empty: the end of the stream
    };
    std::deque<Chunk> queue;
    size_t written = 0; // of the front chunk
    bool readDone = false, shut = false;
};

struct DelayProxy::Conn {
    int client = -1, server = -1, index = 0;
    double accepted = 0;
    Direction up, down;     // client to server, server to client
    bool lastWasUp = false; // the last data read came from the client
    bool broken = false;
    ~Conn()
    {
        if (client >= 0) ::close(client);
        if (server >= 0) ::close(server);
    }
};

DelayProxy::DelayProxy(const std::string &serverHost, int serverPort, int roundTripMs)
    : m_delayMs(std::max(0, roundTripMs)), m_serverHost(serverHost), m_serverPort(serverPort)
{
    if (pipe(m_wake) != 0) return;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = address("127.0.0.1", 0);
    socklen_t len = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    nonBlocking(fd);
    m_listen = fd;
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { run(); });
}

DelayProxy::~DelayProxy()
{
    m_stop = true;
    if (m_wake[1] >= 0) {
        const char c = 0;
        [[maybe_unused]] const auto n = write(m_wake[1], &c, 1);
    }
    if (m_thread.joinable()) m_thread.join();
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0) ::close(fd);
}

void DelayProxy::reset()
{
    std::lock_guard lock(m_mutex);
    m_exchanges.clear();
    m_up = m_down = 0;
    m_connectionsAtReset = m_connections;
}

DelayProxy::Totals DelayProxy::totals(double until) const
{
    std::lock_guard lock(m_mutex);
    Totals t;
    t.bytesUp = m_up;
    t.bytesDown = m_down;
    t.connections = m_connections - m_connectionsAtReset;
    for (const Exchange &e : m_exchanges) {
        if (e.at > until) continue;
        ++t.roundTrips;
        if (size_t(e.connection) >= t.perConnection.size()) t.perConnection.resize(e.connection + 1);
        ++t.perConnection[e.connection];
    }
    return t;
}

std::vector<DelayProxy::Exchange> DelayProxy::exchanges() const
{
    std::lock_guard lock(m_mutex);
    return m_exchanges;
}

double DelayProxy::lastActivity() const
{
    std::lock_guard lock(m_mutex);
    return m_last;
}

void DelayProxy::run()
{
    std::vector<std::unique_ptr<Conn>> conns;
    const double half = m_delayMs / 2.0;
    char buffer[65536];
    while (!m_stop) {
        // What to wait for: new connections, data on open streams, room to
        // write a chunk that is due, and the next chunk falling due.
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        std::vector<std::pair<Conn *, bool>> owners; // per fd after the first two: conn, is client
        const double now = nowMs();
        double next = 1e300;
        for (auto &c : conns) {
            for (const bool client : {true, false}) {
                Direction &in = client ? c->up : c->down;  // read from this fd
                Direction &out = client ? c->down : c->up; // written to this fd
                short events = in.readDone ? 0 : POLLIN;
                if (!out.queue.empty()) {
                    if (out.queue.front().due <= now)
                        events |= POLLOUT;
                    else
                        next = std::min(next, out.queue.front().due);
                }
                // A stream read to its end with nothing to write is left alone: its
                // hang-up would wake the loop until the other side closes too.
                fds.push_back({events ? (client ? c->client : c->server) : -1, events, 0});
                owners.emplace_back(c.get(), client);
            }
        }
        const int timeout = next >= 1e299 ? 1000 : int(std::ceil(std::max(0.0, next - now)));
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
        if (m_stop) break;

        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) break;
                auto c = std::make_unique<Conn>();
                c->client = fd;
                c->accepted = nowMs();
                const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a = address(m_serverHost, m_serverPort);
                if (s < 0 || connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
                    if (s >= 0) ::close(s);
                    continue; // the client sees its connection closed
                }
                c->server = s;
                for (int f : {fd, s}) {
                    noDelay(f);
                    nonBlocking(f);
                }
                std::lock_guard lock(m_mutex);
                c->index = m_connections++;
                m_exchanges.push_back({c->accepted + m_delayMs, c->index, true});
                m_last = c->accepted;
                conns.push_back(std::move(c));
            }
        }

        for (size_t i = 0; i < owners.size(); ++i) {
            auto [c, client] = owners[i];
            const short re = fds[i + 2].revents;
            if (c->broken) continue;
            Direction &in = client ? c->up : c->down;
            Direction &out = client ? c->down : c->up;
            const int fd = client ? c->client : c->server;
            if (re & (POLLIN | POLLHUP | POLLERR)) {
                if (!in.readDone) {
                    const ssize_t n = read(fd, buffer, sizeof buffer);
                    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                        in.readDone = true;
                        const double due = in.queue.empty() ? nowMs() + half
                                                            : std::max(in.queue.back().due, nowMs());
                        in.queue.push_back({due, {}});
                    } else if (n > 0) {
                        const double t = nowMs();
                        // The handshake's round trip comes before the client's first byte.
                        double due = (client ? std::max(t, c->accepted + m_delayMs) : t) + half;
                        if (!in.queue.empty()) due = std::max(due, in.queue.back().due);
                        in.queue.push_back({due, std::string(buffer, size_t(n))});
                        std::lock_guard lock(m_mutex);
                        (client ? m_up : m_down) += n;
                        m_last = t;
                        if (!client && c->lastWasUp) m_exchanges.push_back({due, c->index, false});
                        c->lastWasUp = client;
                    }
                }
            }
            if (re & POLLOUT) {
                // Write what is due, in order, until the socket is full.
                while (!out.queue.empty() && out.queue.front().due <= nowMs()) {
                    Direction::Chunk &chunk = out.queue.front();
                    if (chunk.bytes.empty()) {
                        shutdown(fd, SHUT_WR);
                        out.shut = true;
                        out.queue.pop_front();
                        continue;
                    }
                    const ssize_t n = send(fd, chunk.bytes.data() + out.written,
                                           chunk.bytes.size() - out.written, MSG_NOSIGNAL);
                    if (n < 0) {
                        if (errno != EAGAIN && errno != EINTR) c->broken = true;
                        break;
                    }
                    out.written += size_t(n);
                    if (out.written < chunk.bytes.size()) break;
                    out.written = 0;
                    out.queue.pop_front();
                }
            }
        }
        std::erase_if(conns, [](const std::unique_ptr<Conn> &c) {
            return c->broken || (c->up.shut && c->down.shut);
        });
    }
}

} // namespace bench

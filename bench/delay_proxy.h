#pragma once

// A TCP proxy on loopback in front of a database server, as a wide-area link
// would stand between them: every chunk is held for half the round trip in
// its direction, in order, and the round trips are counted per connection.
//
// A round trip is a request answered: server data arriving after client data
// (pipelined messages sent before the answer are one request). Opening a
// connection is one more, since the TCP handshake costs a round trip before
// the client may send anything: the client's first data is held until then.
// A last message that gets no answer (a terminate) costs no waiting and is
// not a round trip.
//
// It runs on a thread of its own and needs nothing but POSIX sockets, so a
// benchmark or a test may start one in-process; a delay of 0 counts only.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class DelayProxy {
public:
    // One answered request (or a connection opened), when its answer came.
    struct Exchange {
        double at;      // monotonic ms (CLOCK_MONOTONIC), as bench::monotonicMs
        int connection; // 0, 1, ... in the order the proxy accepted them
        bool connect;   // the TCP handshake rather than a request
    };
    struct Totals {
        int roundTrips = 0;
        std::vector<int> perConnection; // indexed by connection, since the last reset
        long long bytesUp = 0, bytesDown = 0;
        int connections = 0; // opened since the last reset
    };

    // Listens on 127.0.0.1 at a free port and forwards to serverHost:serverPort
    // (numeric IPv4 or "localhost"), adding roundTripMs per round trip.
    DelayProxy(const std::string &serverHost, int serverPort, int roundTripMs);
    ~DelayProxy(); // stops the thread and closes every connection
    DelayProxy(const DelayProxy &) = delete;
    DelayProxy &operator=(const DelayProxy &) = delete;

    bool ok() const { return m_listen >= 0; }
    int port() const { return m_port; }
    int roundTripMs() const { return m_delayMs; }

    // Counting starts afresh; connections keep their numbers.
    void reset();
    // Since the last reset; with `until` (monotonic ms), only what came by then.
    Totals totals(double until = 1e300) const;
    std::vector<Exchange> exchanges() const;
    // Monotonic ms of the last byte seen either way (0 before any).
    double lastActivity() const;

private:
    struct Conn;
    void run();

    int m_listen = -1, m_port = 0, m_delayMs = 0;
    int m_wake[2] = {-1, -1};
    std::string m_serverHost;
    int m_serverPort = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Exchange> m_exchanges;
    long long m_up = 0, m_down = 0;
    int m_connections = 0, m_connectionsAtReset = 0;
    double m_last = 0;
    std::thread m_thread;
};

} // namespace bench

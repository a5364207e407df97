// zarn-delay-proxy: the benchmarks' delay proxy on its own, for trying a
// client by hand over a slow link.
//   zarn-delay-proxy SERVER_PORT ROUND_TRIP_MS [SERVER_HOST]
// Prints the port it listens on (127.0.0.1), then reads commands from
// standard input: "c" prints the round trips since the last reset (in all
// and per connection), "r" resets them; the end of input stops it.
#include "delay_proxy.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: zarn-delay-proxy SERVER_PORT ROUND_TRIP_MS [SERVER_HOST]\n");
        return 2;
    }
    bench::DelayProxy proxy(argc > 3 ? argv[3] : "127.0.0.1", std::atoi(argv[1]),
                            std::atoi(argv[2]));
    if (!proxy.ok()) {
        std::fprintf(stderr, "zarn-delay-proxy: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("%d\n", proxy.port());
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "r") {
            proxy.reset();
        } else if (line == "c") {
            const auto t = proxy.totals();
            std::printf("round trips %d (connections opened %d):", t.roundTrips, t.connections);
            for (size_t i = 0; i < t.perConnection.size(); ++i)
                if (t.perConnection[i]) std::printf(" #%zu %d", i, t.perConnection[i]);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

// parlomar-standin: the stand-in control server (see README.md in this folder).
#include "Options.h"
#include "StandinServer.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

using namespace parlomar::standin;

namespace {

void WritePortFile(const std::filesystem::path& file, int port) {
    std::filesystem::path temp = file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << port << '\n';
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + temp.string());
        }
    }
    std::filesystem::rename(temp, file);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "parlomar-standin: " << e.what() << "\n" << UsageText();
        return 2;
    }
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }

    // Signals are taken by one thread with sigwait; every other thread inherits the block.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN); // a client that goes away must not end the server

    try {
        StandinServer server(options);
        int port = server.Start();
        if (!options.portFile.empty()) {
            WritePortFile(options.portFile, port);
        }
        std::cout << "listening on " << options.host << ":" << port << std::endl;

        std::thread waiter([&server, &stopSignals] {
            int received = 0;
            sigwait(&stopSignals, &received);
            server.Stop();
            // Idle keep-alive connections may hold the workers for a few seconds; the data is
            // committed after every request, so end the process if the stop takes too long.
            std::thread([&server] {
                std::this_thread::sleep_for(std::chrono::seconds(3));
                Store::Session hold(server.GetStore()); // no transaction in flight
                std::_Exit(0);
            }).detach();
        });
        bool ok = server.Run();
        if (waiter.joinable()) {
            kill(getpid(), SIGTERM); // wakes the waiter when serving ended on its own
            waiter.join();
        }
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "parlomar-standin: " << e.what() << "\n";
        return 1;
    }
}

#include "core/tools/TraceCommand.h"
#include "core/tools/TracertParser.h"

#include "TestSupport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

namespace fs = std::filesystem;

using parlomar::test::TempDir;

// Reads until the output ends or `until` holds, for at most 20 s.
template <typename Pred>
std::string ReadUntil(TraceCommand& command, Pred until) {
    std::string all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!command.OutputEnded() && !until(all) && std::chrono::steady_clock::now() < deadline) {
        all += command.ReadTraceOutput();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return all;
}

// Gone, or a zombie left to whoever adopted it.
bool ProcessGone(pid_t pid) {
    if (kill(pid, 0) != 0 && errno == ESRCH) {
        return true;
    }
    // Read with read(2): a stream would throw when the process goes while it reads.
    std::string stat(512, '\0');
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY);
    const ssize_t n = fd < 0 ? -1 : read(fd, stat.data(), stat.size());
    if (fd >= 0) {
        close(fd);
    }
    if (n <= 0) {
        return true;
    }
    stat.resize(static_cast<size_t>(n));
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

TEST(TraceCommand, RefusesHostsThatCouldBeTakenForOptions) {
    EXPECT_FALSE(TraceCommand::IsAcceptableHost(""));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("-n"));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("--help"));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost(std::string("a\0b", 3)));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("a\nb"));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("a b"));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("a\tb"));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost("a\x7f"));
    EXPECT_TRUE(TraceCommand::IsAcceptableHost(std::string(253, 'a')));
    EXPECT_TRUE(TraceCommand::IsAcceptableHost(std::string(253, 'a') + "."));
    EXPECT_FALSE(TraceCommand::IsAcceptableHost(std::string(254, 'a')));
    EXPECT_TRUE(TraceCommand::IsAcceptableHost("host-1.example"));
    EXPECT_TRUE(TraceCommand::IsAcceptableHost("10.0.0.1;reboot")); // one argument, no shell

    const auto args = TraceCommand::TraceArguments("host.example");
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args.back(), "host.example");
    EXPECT_EQ(args[args.size() - 2], "--");

    TraceCommand refused;
    EXPECT_FALSE(refused.Start("-f"));
    EXPECT_EQ(refused.ProcessId(), -1);
    EXPECT_EQ(refused.ReadTraceOutput(), "");
    refused.Wait();
    refused.Terminate();

    TraceCommand missing;
    EXPECT_FALSE(missing.StartProgram("/nonexistent/traceroute", {}));
    EXPECT_TRUE(missing.OutputEnded());
}

TEST(TraceCommand, TracesLoopbackIntoTheRouteTable) {
    if (TraceCommand::FindTraceroute().empty()) {
        GTEST_SKIP() << "no traceroute installed";
    }
    TempDir dir;
    const fs::path marker = dir.Path() / "marker";
    // Shell syntax in the host stays part of the one host argument: it is never run.
    TraceCommand odd;
    ASSERT_TRUE(odd.Start("127.0.0.1;touch${IFS}" + marker.string()));
    std::thread oddWaiter([&] { odd.Wait(); });
    const std::string oddOutput = ReadUntil(odd, [](const std::string&) { return false; });
    oddWaiter.join();
    TStringGridData oddGrid;
    ParseTraceOutput(oddOutput, oddGrid);
    EXPECT_EQ(oddGrid.RowCount(), 1);
    EXPECT_FALSE(fs::exists(marker));

    TraceCommand command;
    ASSERT_TRUE(command.Start("127.0.0.1"));
    const pid_t pid = command.ProcessId();
    std::thread waiter([&] { command.Wait(); });
    const std::string output = ReadUntil(command, [](const std::string&) { return false; });
    waiter.join();
    EXPECT_TRUE(command.OutputEnded());
    EXPECT_TRUE(ProcessGone(pid));

    TStringGridData grid;
    ParseTraceOutput(output, grid);
    ASSERT_EQ(grid.RowCount(), 2) << output;
    EXPECT_EQ(grid.Cell(0, 1), "1");
    EXPECT_NE(grid.Cell(4, 1).find("127.0.0.1"), std::string::npos) << output;
    for (int col = 1; col <= 3; ++col) {
        EXPECT_NE(grid.Cell(col, 1).find("ms"), std::string::npos) << output;
    }
}

TEST(TraceCommand, TerminateEndsARunningTraceAndLeavesNoProcess) {
    TempDir dir;
    const fs::path script = dir.Path() / "slow-trace";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "echo 'traceroute to far.example (10.9.9.9), 30 hops max'\n"
               "echo ' 1  gw.example (10.0.0.1)  0.500 ms  0.400 ms  0.300 ms'\n"
               "exec sleep 60\n";
    }
    fs::permissions(script, fs::perms::owner_all);

    // Terminated from the reading thread while nobody waits.
    TraceCommand alone;
    ASSERT_TRUE(alone.StartProgram(script.string(), {}));
    const std::string first =
        ReadUntil(alone, [](const std::string& s) { return s.find("gw.example") != s.npos; });
    TStringGridData grid;
    ParseTraceOutput(first, grid);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(1, 1), "<1 ms");
    EXPECT_EQ(alone.ReadTraceOutput(), ""); // nothing waiting: returns at once
    const pid_t pid = alone.ProcessId();
    alone.Terminate();
    EXPECT_TRUE(ProcessGone(pid));
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), -1); // already reaped: no zombie
    ReadUntil(alone, [](const std::string&) { return false; });
    EXPECT_TRUE(alone.OutputEnded());
    alone.Terminate(); // again: harmless
    alone.Wait();      // returns at once

    // Terminated while a worker thread waits for the end.
    TraceCommand waited;
    ASSERT_TRUE(waited.StartProgram(script.string(), {}));
    const pid_t waitedPid = waited.ProcessId();
    std::thread waiter([&] { waited.Wait(); });
    ReadUntil(waited, [](const std::string& s) { return !s.empty(); });
    waited.Terminate();
    waiter.join();
    EXPECT_TRUE(ProcessGone(waitedPid));

    // What the command started itself goes with it.
    const fs::path parent = dir.Path() / "parent-trace";
    const fs::path childPid = dir.Path() / "child-pid";
    {
        std::ofstream out(parent);
        out << "#!/bin/sh\nsleep 60 &\necho $! > '" << childPid.string()
            << "'\necho ' 1  10.0.0.1  1 ms'\nwait\n";
    }
    fs::permissions(parent, fs::perms::owner_all);
    TraceCommand group;
    ASSERT_TRUE(group.StartProgram(parent.string(), {}));
    ReadUntil(group, [](const std::string& s) { return !s.empty(); });
    pid_t child = 0;
    std::ifstream(childPid) >> child;
    ASSERT_GT(child, 0);
    group.Terminate();
    for (int i = 0; i < 100 && !ProcessGone(child); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ProcessGone(child));

    // Destroying a running command ends it as well.
    pid_t destroyedPid = -1;
    {
        TraceCommand dropped;
        ASSERT_TRUE(dropped.StartProgram(script.string(), {}));
        destroyedPid = dropped.ProcessId();
    }
    EXPECT_TRUE(ProcessGone(destroyedPid));
}

TEST(TraceCommand, TheSystemsFoldersAreSearchedBeforePath) {
    TempDir user, sys, empty;
    for (const fs::path& folder : {user.Path(), sys.Path()}) {
        std::ofstream(folder / "traceroute") << "#!/bin/sh\n";
        fs::permissions(folder / "traceroute", fs::perms::owner_all);
    }
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", ("relative:" + user.Path().string() + ":" + oldPath).c_str(), 1);
    TraceCommand::SetSystemFolders({empty.Path().string(), sys.Path().string()});
    EXPECT_EQ(TraceCommand::FindTraceroute(), (sys.Path() / "traceroute").string());
    TraceCommand::SetSystemFolders({empty.Path().string()});
    EXPECT_EQ(TraceCommand::FindTraceroute(), (user.Path() / "traceroute").string());
    TraceCommand::SetSystemFolders({});
    if (::access("/usr/sbin/traceroute", X_OK) == 0) {
        EXPECT_EQ(TraceCommand::FindTraceroute(), "/usr/sbin/traceroute");
    }
    ::setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
} // namespace parlomar

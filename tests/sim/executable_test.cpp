// The line_follower executable as a user starts it: a signal ends the run cleanly, and a bad
// world stops it before the first step.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/scratch.hpp"

namespace {

// Starts build/line_follower in the current directory with ROBOT_WORLD set and stdout, stderr
// sent to files.
pid_t start_line_follower(const std::string& world_path, const char* stdout_path = "stdout.txt") {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ROBOT_WORLD", world_path.c_str(), 1);
        if (!std::freopen(stdout_path, "w", stdout) || !std::freopen("stderr.txt", "w", stderr)) {
            _exit(127);
        }
        execl(LINE_FOLLOWER, LINE_FOLLOWER, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int exit_status_of(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int count_lines(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

class SignalEndsRun : public ::testing::TestWithParam<int> {};

TEST_P(SignalEndsRun, FooterWrittenAndStatusZero) {
    scratch::Dir dir;
    std::ofstream("endless.yaml") << "duration: 100000000\n";
    const pid_t pid = start_line_follower(dir.path() + "/endless.yaml");

    // Wait until the run is well under way (rows reach Robot.m as they are written).
    for (int i = 0; i < 2000 && count_lines(scratch::read_file("Robot.m")) < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, GetParam());
    EXPECT_EQ(exit_status_of(pid), 0);

    const std::string robot_m = scratch::read_file("Robot.m");
    const std::string console = scratch::read_file("stdout.txt");
    ASSERT_GE(count_lines(robot_m), 200);
    EXPECT_EQ(robot_m.substr(robot_m.size() - 16), "xlabel('time');\n");
    // One row per step: header, rows, 14 footer lines; the console has 2 lines per step and
    // the size line.
    const int rows = count_lines(robot_m) - 15;
    EXPECT_EQ(count_lines(console), 1 + 2 * rows);
}

INSTANTIATE_TEST_SUITE_P(Executable, SignalEndsRun, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                             return std::string(info.param == SIGINT ? "sigint" : "sigterm");
                         });

// Whether the child has exited (without reaping it).
bool has_ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Whether the process is asleep writing into a full pipe with no signal waiting for it. Where
// the kernel does not name the wait channel, any sleep counts: the run never sleeps otherwise.
bool blocked_on_pipe(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string status = scratch::read_file(proc + "/status");
    for (const char* pending : {"\nSigPnd:\t", "\nShdPnd:\t"}) {
        const size_t at = status.find(pending);
        if (at == std::string::npos ||
            status.find_first_not_of('0', at + 9) != status.find('\n', at + 9)) {
            return false;
        }
    }
    std::string wchan;
    std::ifstream(proc + "/wchan") >> wchan;
    if (wchan.find("pipe_write") != std::string::npos) {
        return true;
    }
    const std::string stat = scratch::read_file(proc + "/stat");
    const size_t paren = stat.rfind(')');
    return (wchan.empty() || wchan == "0") && paren != std::string::npos &&
           paren + 2 < stat.size() && stat[paren + 2] == 'S';
}

// A signal that arrives while the controller is blocked writing to a full stdout pipe (a reader
// slower than the run) must not cost it any console output: the write resumes after the
// handler, and every step's two lines still arrive.
TEST_P(SignalEndsRun, NoConsoleLineLostWhileBlockedOnAFullPipe) {
    scratch::Dir dir;
    std::ofstream("endless.yaml") << "duration: 100000000\n";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ROBOT_WORLD", (dir.path() + "/endless.yaml").c_str(), 1);
        if (dup2(fds[1], STDOUT_FILENO) < 0 || !std::freopen("stderr.txt", "w", stderr)) {
            _exit(127);
        }
        close(fds[0]);
        close(fds[1]);
        execl(LINE_FOLLOWER, LINE_FOLLOWER, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    // Nothing is read until the run is well under way and stuck on the full pipe. The signal
    // is sent three times, each while the write is stuck: a write that has already put part of
    // its data into the pipe returns that part when interrupted, one that has put nothing
    // fails unless it is restarted.
    // A run that has already ended (output lost) gets no more signals.
    for (int round = 0; round < 3 && !has_ended(pid); ++round) {
        bool blocked = false;
        for (int i = 0; i < 4000 && !blocked && !has_ended(pid); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            blocked = count_lines(scratch::read_file("Robot.m")) >= 200 && blocked_on_pipe(pid);
        }
        EXPECT_TRUE(blocked || has_ended(pid)) << "round " << round;
        kill(pid, GetParam());
    }

    std::string console;
    char buf[4096];
    pollfd pfd{fds[0], POLLIN, 0};
    while (poll(&pfd, 1, 60000) > 0) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        console.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    EXPECT_EQ(exit_status_of(pid), 0);

    const std::string robot_m = scratch::read_file("Robot.m");
    ASSERT_GE(count_lines(robot_m), 200);
    const int rows = count_lines(robot_m) - 15;
    EXPECT_EQ(count_lines(console), 1 + 2 * rows);
}

TEST(Executable, BadWorldStopsBeforeTheFirstStep) {
    scratch::Dir dir;
    std::ofstream("bad.yaml") << "camera:\n  width: -5\n";
    EXPECT_EQ(exit_status_of(start_line_follower(dir.path() + "/bad.yaml")), 2);

    const std::string err = scratch::read_file("stderr.txt");
    EXPECT_EQ(count_lines(err), 1) << err;
    EXPECT_NE(err.find("bad.yaml:2"), std::string::npos) << err;
    EXPECT_NE(err.find("camera.width"), std::string::npos) << err;
    EXPECT_EQ(scratch::read_file("stdout.txt"), "");
}

// The logged time is a running sum of 0.016 per step, not the step count times 0.016: the two
// first print differently at step 1,613,827 (25821.231999 against 25821.232000), and the
// 2,000,000th row of a 32,000 s run carries 31999.999999, not 32000.000000.
TEST(Executable, TwoMillionthRowCarriesTheRunningSum) {
    scratch::Dir dir;
    std::ofstream("long.yaml") << "duration: 32000\ncamera: {width: 1, height: 1}\n";
    EXPECT_EQ(exit_status_of(start_line_follower(dir.path() + "/long.yaml", "/dev/null")), 0);

    const std::string robot_m = scratch::read_file("Robot.m");
    EXPECT_EQ(count_lines(robot_m), 1 + 2000000 + 14);
    const size_t footer = robot_m.find("];\n");
    ASSERT_NE(footer, std::string::npos);
    const size_t last_row = robot_m.rfind('\n', footer - 2) + 1;
    EXPECT_EQ(robot_m.substr(last_row, 13), "31999.999999 ");
    const size_t row_1613827 = robot_m.find("\n25821.23");
    ASSERT_NE(row_1613827, std::string::npos);
    EXPECT_EQ(robot_m.substr(row_1613827 + 1, 13), "25821.231999 ");
}

}  // namespace

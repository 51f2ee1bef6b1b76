// The line_follower executable as a user starts it: a signal ends the run cleanly, and a bad
// world stops it before the first step.
#include <gtest/gtest.h>
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
pid_t start_line_follower(const std::string& world_path) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ROBOT_WORLD", world_path.c_str(), 1);
        if (!std::freopen("stdout.txt", "w", stdout) || !std::freopen("stderr.txt", "w", stderr)) {
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

}  // namespace

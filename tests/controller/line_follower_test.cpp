#include "controller/line_follower.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/controller/controller_run.hpp"
#include "tests/controller/mask_allocation.hpp"
#include "tests/support/robot_double.hpp"
#include "tests/support/scratch.hpp"

namespace {

using robot_double::Call;

class LineFollowerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        mask_allocation::fail_size(0);
        mask_allocation::watch_size(0);
    }
    scratch::Dir dir_;
};

// Start-up and shutdown around a one-step run on a 4 x 3 camera (mask 4 * 3 * 4 = 48 bytes).
TEST_F(LineFollowerTest, StartUpAndShutdownRunInOrder) {
    robot_double::Script script;
    script.steps = 1;
    mask_allocation::watch_size(48);

    std::string robot_m_at_init = "(not created)";
    std::string robot_m_at_free;
    std::string robot_m_at_cleanup;
    bool open_at_cleanup = true;
    std::string out_before_display;
    std::string out_at_image_new;
    std::string out_at_gps_read;
    const ControllerRun run = run_controller(script, [&](scratch::Capture& out) {
        robot_double::set_observer([&](const Call& c) {
            if (c.name == "wb_robot_init" && std::filesystem::exists("Robot.m")) {
                robot_m_at_init = scratch::read_file("Robot.m");
            } else if (c.name == "wb_robot_get_device" && c.text == "display") {
                out_before_display = out.peek();
            } else if (c.name == "wb_display_image_new") {
                out_at_image_new = out.peek();
            } else if (c.name == "wb_gps_get_values") {
                out_at_gps_read = out.peek();
            } else if (c.name == "free") {
                robot_m_at_free = scratch::read_file("Robot.m");
            } else if (c.name == "wb_robot_cleanup") {
                robot_m_at_cleanup = scratch::read_file("Robot.m");
                open_at_cleanup = scratch::is_open_here("Robot.m");
            }
        });
    });

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // Motors, camera with display, position sensor; then one step, the mask freed, detached.
    const std::vector<std::string> expected = {
        "wb_robot_init()",
        "wb_robot_get_device(\"left wheel motor\")",
        "wb_robot_get_device(\"right wheel motor\")",
        "wb_motor_set_position(1, inf)",
        "wb_motor_set_position(2, inf)",
        "wb_motor_set_velocity(1, 0)",
        "wb_motor_set_velocity(2, 0)",
        "wb_robot_get_device(\"camera\")",
        "wb_camera_enable(3, 16)",
        "wb_camera_get_width(3)",
        "wb_camera_get_height(3)",
        "wb_robot_get_device(\"display\")",
        "wb_robot_get_device(\"gps\")",
        "wb_gps_enable(5, 16)",
        "wb_robot_step(16)",
        "wb_camera_get_image(3)",
        "wb_display_image_new(4, 4, 3, 6)",
        "wb_display_image_paste(4, 1, 0, 0, 0)",
        "wb_display_image_delete(4, 1)",
        "wb_gps_get_values(5)",
        "wb_motor_set_velocity(1, 4.71)",
        "wb_motor_set_velocity(2, 4.71)",
        "wb_robot_step(16)",
        "free(48)",
        "wb_robot_cleanup()",
    };
    EXPECT_EQ(robot_double::call_texts(), expected);

    // The file exists with its header before the robot is attached.
    EXPECT_EQ(robot_m_at_init, "A = [\n");
    // The size line comes before the display is looked up.
    EXPECT_EQ(out_before_display, "Camera width = 4, height = 3\n");
    // Within the step: the count line before the mask goes to the display, the centre line
    // before the position is read.
    const std::string count_line = "nr_pels_detected = 0, Color is 0.000000\n";
    const std::string centre_line =
        "line_center = 0.000000, percent error = 0.000000, omegaL = 4.710000, omegaR = "
        "4.710000\n";
    EXPECT_EQ(out_at_image_new, "Camera width = 4, height = 3\n" + count_line);
    EXPECT_EQ(out_at_gps_read, "Camera width = 4, height = 3\n" + count_line + centre_line);
    // The mask is freed before the footer; the footer is written and the file closed before
    // the robot is detached.
    const std::string row = "0.016000 0.000000 0.000000 4.710000 4.710000\n";
    EXPECT_EQ(robot_m_at_free, "A = [\n" + row);
    EXPECT_EQ(robot_m_at_cleanup, "A = [\n" + row + kFooter);
    EXPECT_FALSE(open_at_cleanup);
}

TEST_F(LineFollowerTest, RunEndedAtTheFirstStepLeavesAnEmptyRunnableScript) {
    robot_double::Script script;
    script.steps = 0;
    const ControllerRun run = run_controller(script);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Camera width = 4, height = 3\n");
    EXPECT_EQ(run.err, "");
    // zeros(0,5) makes A 0-by-5, so A(:,1) .. A(:,5) in the footer are valid.
    EXPECT_EQ(run.robot_m, std::string("A = [\nzeros(0,5)\n") + kFooter);
    const std::vector<std::string> calls = robot_double::call_texts();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "wb_robot_step(16)");
    EXPECT_EQ(calls.back(), "wb_robot_cleanup()");
    for (const std::string& c : calls) {
        EXPECT_NE(c, "wb_camera_get_image(3)");
    }
}

TEST_F(LineFollowerTest, ScriptedStepsPrintLogPasteAndCommandExactly) {
    const ControllerRun run = run_controller(five_step_script());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // Values worked out at five_step_script().
    EXPECT_EQ(run.out,
              "Camera width = 16, height = 3\n"
              "nr_pels_detected = 0, Color is 0.000000\n"
              "line_center = 0.000000, percent error = 0.000000, omegaL = 4.710000, omegaR = "
              "4.710000\n"
              "nr_pels_detected = 12, Color is 60.000007\n"
              "line_center = 11.000000, percent error = -18.750000, omegaL = 6.280000, omegaR = "
              "0.588750\n"
              "nr_pels_detected = 9, Color is 240.000003\n"
              "line_center = 1.000000, percent error = 0.000000, omegaL = 4.710000, omegaR = "
              "4.710000\n"
              "nr_pels_detected = 0, Color is 240.000003\n"
              "line_center = 0.000000, percent error = 0.000000, omegaL = 4.710000, omegaR = "
              "4.710000\n"
              "nr_pels_detected = 12, Color is 240.000003\n"
              "line_center = 3.000000, percent error = 31.250000, omegaL = -2.158750, omegaR = "
              "6.280000\n");
    std::string robot_m = "A = [\n";
    for (const std::string& row : five_step_rows()) {
        robot_m += row;
    }
    EXPECT_EQ(run.robot_m, robot_m + kFooter);

    // Each step, after its wb_robot_step: frame, image made / pasted at (0, 0) as format 6
    // without blending / released, position, then the speeds left, right.
    const double speeds[5][2] = {
        {4.71, 4.71}, {6.28, 0.58875}, {4.71, 4.71}, {4.71, 4.71}, {-2.15875, 6.28}};
    const std::vector<Call>& calls = robot_double::calls();
    std::size_t i = 0;
    while (i < calls.size() && calls[i].name != "wb_robot_step") {
        ++i;
    }
    for (int step = 0; step < 5; ++step) {
        SCOPED_TRACE("step " + std::to_string(step + 1));
        ASSERT_LE(i + 9, calls.size());
        const std::string id = std::to_string(step + 1);
        std::vector<std::string> got;
        for (std::size_t k = i; k < i + 8; ++k) {
            got.push_back(robot_double::describe(calls[k]));
        }
        const std::vector<std::string> expected = {
            "wb_robot_step(16)",
            "wb_camera_get_image(3)",
            "wb_display_image_new(4, 16, 3, 6)",
            "wb_display_image_paste(4, " + id + ", 0, 0, 0)",
            "wb_display_image_delete(4, " + id + ")",
            "wb_gps_get_values(5)",
            got[6],  // the speeds, checked exactly below
            got[7],
        };
        EXPECT_EQ(got, expected);
        const Call& left = calls[i + 6];
        const Call& right = calls[i + 7];
        EXPECT_EQ(left.name, "wb_motor_set_velocity");
        EXPECT_EQ(right.name, "wb_motor_set_velocity");
        EXPECT_EQ(left.ints, std::vector<long long>{robot_double::kLeftMotor});
        EXPECT_EQ(right.ints, std::vector<long long>{robot_double::kRightMotor});
        ASSERT_EQ(left.reals.size(), 1u);
        ASSERT_EQ(right.reals.size(), 1u);
        EXPECT_NEAR(left.reals[0], speeds[step][0], 1e-12);
        EXPECT_NEAR(right.reals[0], speeds[step][1], 1e-12);
        i += 8;
    }
    EXPECT_EQ(robot_double::describe(calls[i]), "wb_robot_step(16)");

    // The pasted pixels are the line mask: marked (0, 250, 250, 250), else (0, 0, 0, 0).
    const std::vector<std::vector<unsigned char>> masks = five_step_masks();
    const std::vector<robot_double::Image>& images = robot_double::images();
    ASSERT_EQ(images.size(), masks.size());
    for (std::size_t k = 0; k < images.size(); ++k) {
        SCOPED_TRACE("image " + std::to_string(k + 1));
        EXPECT_EQ(images[k].pixels, masks[k]);
        EXPECT_TRUE(images[k].deleted);
    }
}

TEST_F(LineFollowerTest, EveryRowIsInTheFileBeforeTheNextStep) {
    // A run that is killed keeps what is on disk; the rows must not wait in a buffer.
    std::vector<std::string> on_disk;
    run_controller(five_step_script(), [&](scratch::Capture&) {
        robot_double::set_observer([&](const Call& c) {
            if (c.name == "wb_robot_step") {
                on_disk.push_back(scratch::read_file("Robot.m"));
            }
        });
    });
    ASSERT_EQ(on_disk.size(), 6u);  // five steps and the one that ends the run
    std::string expected = "A = [\n";
    for (std::size_t k = 0; k < on_disk.size(); ++k) {
        EXPECT_EQ(on_disk[k], expected) << "before step " << k + 1;
        if (k < five_step_rows().size()) {
            expected += five_step_rows()[k];
        }
    }
}

TEST_F(LineFollowerTest, CameraSizeIsKeptAsSixteenBitValues) {
    // 65536 + 16 wide is stored as 16: the size line, the display image and the mask all use
    // 16 x 3 (192 bytes).
    robot_double::Script script = five_step_script();
    script.steps = 1;
    script.camera_width = 65536 + 16;
    mask_allocation::watch_size(192);
    const ControllerRun run = run_controller(script);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "Camera width = 16, height = 3\n");
    const std::vector<std::string> calls = robot_double::call_texts();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "wb_display_image_new(4, 16, 3, 6)"),
              calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "free(192)"), calls.end());
}

// --- "Robot.m" cannot be created ----------------------------------------------------------------

struct UnwritableCase {
    const char* name;
    void (*prepare)();  // makes "Robot.m" impossible to open for writing
    int error;          // the errno that fopen reports
};

void PrintTo(const UnwritableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnwritableLogTest : public LineFollowerTest,
                          public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritableLogTest, OneLineOnStderrAndStatusOneBeforeAttaching) {
    const UnwritableCase& c = GetParam();
    c.prepare();
    robot_double::Script script;
    script.steps = 3;
    const ControllerRun run = run_controller(script);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("line_follower: cannot open \"Robot.m\" for writing: ") +
                           std::strerror(c.error) + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(robot_double::calls().empty());  // the robot is never attached
}

// Cases that hold even for root, who may write into read-only directories.
INSTANTIATE_TEST_SUITE_P(
    Causes, UnwritableLogTest,
    ::testing::Values(UnwritableCase{"is_a_directory",
                                     [] { std::filesystem::create_directory("Robot.m"); }, EISDIR},
                      UnwritableCase{
                          "link_into_missing_directory",
                          [] { std::filesystem::create_symlink("missing/Robot.m", "Robot.m"); },
                          ENOENT},
                      UnwritableCase{"link_through_a_file",
                                     [] {
                                         std::ofstream("plain") << "x";
                                         std::filesystem::create_symlink("plain/Robot.m",
                                                                         "Robot.m");
                                     },
                                     ENOTDIR}),
    [](const ::testing::TestParamInfo<UnwritableCase>& info) {
        return std::string(info.param.name);
    });

// --- the mask cannot be allocated -----------------------------------------------------------

struct AllocationCase {
    const char* name;
    int width;
    int height;
    std::size_t mask_bytes;
};

void PrintTo(const AllocationCase& c, std::ostream* os) {
    *os << c.name;
}

class MaskAllocationTest : public LineFollowerTest,
                           public ::testing::WithParamInterface<AllocationCase> {};

TEST_P(MaskAllocationTest, OneLineOnStderrThenDetachAndStatusOne) {
    const AllocationCase& c = GetParam();
    robot_double::Script script;
    script.steps = 3;
    script.camera_width = c.width;
    script.camera_height = c.height;
    mask_allocation::fail_size(c.mask_bytes);
    const ControllerRun run = run_controller(script);
    mask_allocation::fail_size(0);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "line_follower: cannot allocate the line mask (" +
                           std::to_string(c.mask_bytes) + " bytes): " + std::strerror(ENOMEM) +
                           "\n");
    EXPECT_EQ(run.out, "Camera width = " + std::to_string(c.width) +
                           ", height = " + std::to_string(c.height) + "\n");
    // Header only: no cycle ran and the footer belongs to a completed run.
    EXPECT_EQ(run.robot_m, "A = [\n");
    const std::vector<std::string> calls = robot_double::call_texts();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "wb_gps_enable(5, 16)");
    EXPECT_EQ(calls.back(), "wb_robot_cleanup()");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MaskAllocationTest,
    ::testing::Values(AllocationCase{"small_camera", 4, 3, 48},
                      // The largest 16-bit camera: 65535 * 65535 * 4 bytes, past 32 bits.
                      AllocationCase{"largest_camera", 65535, 65535, 17179344900u}),
    [](const ::testing::TestParamInfo<AllocationCase>& info) {
        return std::string(info.param.name);
    });

}  // namespace

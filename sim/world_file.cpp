// The loader walks the YAML tree with a small reader that knows the dotted name of every field
// and the line it came from, so that each failure becomes one line: "file:line: field: what was
// expected, got what". Maps are checked against their list of known fields before any value is
// read, so a misspelt field is reported rather than silently defaulted.
#include "sim/world_file.hpp"

#include <yaml-cpp/yaml.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

namespace sim {
namespace {

constexpr long long kMaxCameraSide = 8192;
constexpr long long kMaxCameraPixels = 4096LL * 4096LL;
constexpr double kMaxTexels = 16.0 * 1024 * 1024;
constexpr double kLargest = 1e4;              // [m], also [deg] and [rad/s]: the largest magnitude
constexpr std::size_t kMaxSegments = 100000;  // in all lines of a world together
constexpr std::size_t kMaxListed = 10000;     // walls, and light sources

std::string join(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) {
        if (!out.empty()) {
            out += ", ";
        }
        out += n;
    }
    return out;
}

// Why a file could not be created or overwritten at `path` (relative to the working directory),
// or "" when it could: its folder must be a writable directory, and the file, if there, a
// writable regular file.
std::string why_not_writable(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) {
        return dir + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return dir + " is not a directory";
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        return dir + ": " + std::strerror(errno);
    }
    if (slash == path.size() - 1) {
        return "no file name";
    }
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return "not a regular file";
        }
        if (access(path.c_str(), W_OK) != 0) {
            return std::strerror(errno);
        }
    }
    return "";
}

std::string describe(const YAML::Node& n) {
    if (!n || n.IsNull()) {
        return "nothing";
    }
    if (n.IsSequence()) {
        return "a sequence";
    }
    if (n.IsMap()) {
        return "a mapping";
    }
    return "\"" + n.Scalar() + "\"";
}

// Reads one file's tree; knows the file name for messages.
class Reader {
  public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const YAML::Node& at, const std::string& field,
                           const std::string& message) const {
        std::string where = file_;
        if (at && at.Mark().line >= 0) {
            where += ":" + std::to_string(at.Mark().line + 1);
        }
        throw WorldFileError(where + ": " + field + ": " + message);
    }

    // A mapping (or nothing) whose keys are all in `known`.
    void check_map(const YAML::Node& n, const std::string& field,
                   std::initializer_list<const char*> known) const {
        if (!n || n.IsNull()) {
            return;
        }
        if (!n.IsMap()) {
            fail(n, field.empty() ? "(whole file)" : field,
                 "expected a mapping with fields " + join(known) + ", got " + describe(n));
        }
        std::vector<std::string> seen;
        for (const auto& kv : n) {
            const std::string key = kv.first.Scalar();
            // The parser keeps both; a lookup would silently take one of them.
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
                fail(kv.first, sub(field, key), "given twice");
            }
            seen.push_back(key);
            bool ok = false;
            for (const char* k : known) {
                ok = ok || key == k;
            }
            if (!ok) {
                fail(kv.first, sub(field, key), "unknown field; expected one of " + join(known));
            }
        }
    }

    static std::string sub(const std::string& field, const std::string& key) {
        return field.empty() ? key : field + "." + key;
    }

    double number(const YAML::Node& n, const std::string& field) const {
        if (!n.IsScalar()) {
            fail(n, field, "expected a number, got " + describe(n));
        }
        try {
            return n.as<double>();
        } catch (const YAML::Exception&) {
            fail(n, field, "expected a number, got " + describe(n));
        }
    }

    // A finite number in [lo, hi]; `what` words the range for the message.
    double ranged(const YAML::Node& parent, const char* key, const std::string& field,
                  double fallback, double lo, double hi, const std::string& what) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        const double v = number(n, field);
        if (!std::isfinite(v) || v < lo || v > hi) {
            fail(n, field, "expected " + what + ", got " + describe(n));
        }
        return v;
    }

    double positive(const YAML::Node& parent, const char* key, const std::string& field,
                    double fallback) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        const double v = number(n, field);
        if (!std::isfinite(v) || v <= 0 || v > kLargest) {
            fail(n, field, "expected a number above 0 and at most 10000, got " + describe(n));
        }
        return v;
    }

    // Coordinates, offsets and headings: bounded, so that every derived quantity (texel
    // indices, distances, the summary's figures) stays finite and fits its type.
    double finite(const YAML::Node& parent, const char* key, const std::string& field,
                  double fallback) const {
        return ranged(parent, key, field, fallback, -kLargest, kLargest,
                      "a number from -10000 to 10000");
    }

    long long integer(const YAML::Node& parent, const char* key, const std::string& field,
                      long long fallback, long long lo, long long hi) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        const std::string expect =
            "expected an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
        if (!n.IsScalar()) {
            fail(n, field, expect + ", got " + describe(n));
        }
        long long v = 0;
        try {
            v = n.as<long long>();
        } catch (const YAML::Exception&) {
            fail(n, field, expect + ", got " + describe(n));
        }
        if (v < lo || v > hi) {
            fail(n, field, expect + ", got " + describe(n));
        }
        return v;
    }

    std::string text(const YAML::Node& parent, const char* key, const std::string& field,
                     const std::string& fallback) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        if (!n.IsScalar()) {
            fail(n, field, "expected a text, got " + describe(n));
        }
        return n.Scalar();
    }

    // [r, g, b] with bytes 0-255, or one of a few names.
    Rgb color(const YAML::Node& parent, const char* key, const std::string& field,
              Rgb fallback) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        static const struct {
            const char* name;
            Rgb rgb;
        } kNamed[] = {{"red", {230, 40, 40}},     {"yellow", {230, 230, 30}},
                      {"blue", {40, 40, 220}},    {"green", {30, 170, 60}},
                      {"white", {255, 255, 255}}, {"black", {0, 0, 0}},
                      {"grey", {200, 200, 200}},  {"gray", {200, 200, 200}}};
        const std::string expect =
            "expected [red, green, blue] with values 0 to 255, or one of red, yellow, blue, "
            "green, white, black, grey";
        if (n.IsScalar()) {
            for (const auto& c : kNamed) {
                if (n.Scalar() == c.name) {
                    return c.rgb;
                }
            }
            fail(n, field, expect + ", got " + describe(n));
        }
        if (!n.IsSequence() || n.size() != 3) {
            fail(n, field, expect + ", got " + describe(n));
        }
        std::uint8_t c[3];
        for (int i = 0; i < 3; ++i) {
            long long v = -1;
            try {
                v = n[i].as<long long>();
            } catch (const YAML::Exception&) {
            }
            if (v < 0 || v > 255) {
                fail(n[i], field, expect + ", got " + describe(n[i]));
            }
            c[i] = static_cast<std::uint8_t>(v);
        }
        return Rgb{c[0], c[1], c[2]};
    }

    // [a, b] of finite numbers.
    std::array<double, 2> pair(const YAML::Node& parent, const char* key, const std::string& field,
                               std::array<double, 2> fallback, bool must_be_positive) const {
        const YAML::Node n = parent[key];
        if (!n) {
            return fallback;
        }
        const std::string expect = must_be_positive
                                       ? "expected [a, b] of numbers above 0 and at most 10000"
                                       : "expected [a, b] of numbers from -10000 to 10000";
        if (!n.IsSequence() || n.size() != 2) {
            fail(n, field, expect + ", got " + describe(n));
        }
        std::array<double, 2> v{};
        for (int i = 0; i < 2; ++i) {
            v[i] = number(n[i], field);
            if (!std::isfinite(v[i]) || v[i] < -kLargest || v[i] > kLargest ||
                (must_be_positive && v[i] <= 0)) {
                fail(n[i], field, expect + ", got " + describe(n[i]));
            }
        }
        return v;
    }

    Pose2 pose(const YAML::Node& parent, const char* key, const std::string& field,
               Pose2 fallback) const {
        const YAML::Node n = parent[key];
        check_map(n, field, {"x", "z", "heading"});
        if (!n) {
            return fallback;
        }
        Pose2 p;
        p.x_m = finite(n, "x", sub(field, "x"), fallback.x_m);
        p.z_m = finite(n, "z", sub(field, "z"), fallback.z_m);
        p.heading_rad =
            finite(n, "heading", sub(field, "heading"), fallback.heading_rad / kDegToRad) *
            kDegToRad;
        return p;
    }

  private:
    std::string file_;
};

void read_lines(const Reader& rd, const YAML::Node& root, WorldDesc& w) {
    const YAML::Node lines = root["lines"];
    if (!lines || lines.IsNull()) {
        return;
    }
    if (!lines.IsSequence()) {
        rd.fail(lines, "lines", "expected a sequence of lines, got " + describe(lines));
    }
    std::size_t segment_count = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const YAML::Node ln = lines[i];
        const std::string f = "lines[" + std::to_string(i) + "]";
        rd.check_map(ln, f, {"start", "width", "color", "segments"});
        LineDesc line;
        line.start = rd.pose(ln, "start", f + ".start", Pose2{});
        const double width =
            rd.ranged(ln, "width", f + ".width", 0.02, 1e-6, 10.0, "a width from 0.000001 to 10 m");
        const Rgb color = rd.color(ln, "color", f + ".color", Rgb{230, 40, 40});
        const YAML::Node segs = ln["segments"];
        if (!segs || !segs.IsSequence() || segs.size() == 0) {
            rd.fail(segs ? segs : ln, f + ".segments",
                    "expected a sequence of segments (straight: length or arc: angle with "
                    "radius), got " +
                        describe(segs));
        }
        for (std::size_t k = 0; k < segs.size(); ++k) {
            const YAML::Node s = segs[k];
            const std::string g = f + ".segments[" + std::to_string(k) + "]";
            // Aliases can make a short file name a huge number of segments.
            if (++segment_count > kMaxSegments) {
                rd.fail(s, g, "expected at most 100000 segments in all lines together");
            }
            rd.check_map(s, g, {"straight", "arc", "radius", "width", "color"});
            SegmentDesc seg;
            seg.width_m = rd.ranged(s, "width", g + ".width", width, 1e-6, 10.0,
                                    "a width from 0.000001 to 10 m");
            seg.color = rd.color(s, "color", g + ".color", color);
            const bool straight = s && s.IsMap() && s["straight"];
            const bool arc = s && s.IsMap() && s["arc"];
            if (straight == arc) {
                rd.fail(s, g,
                        "expected exactly one of straight (length in m) or arc (angle in "
                        "degrees, with radius)");
            }
            if (straight) {
                seg.kind = SegmentDesc::Kind::straight;
                seg.length_m = rd.positive(s, "straight", g + ".straight", 0.0);
                if (s["radius"]) {
                    rd.fail(s["radius"], g + ".radius", "a straight has no radius");
                }
            } else {
                seg.kind = SegmentDesc::Kind::arc;
                const double deg = rd.ranged(s, "arc", g + ".arc", 0.0, -3600.0, 3600.0,
                                             "an angle from -3600 to 3600 degrees, not 0");
                if (deg == 0.0) {
                    rd.fail(s["arc"], g + ".arc", "expected an angle other than 0 degrees");
                }
                seg.angle_rad = deg * kDegToRad;
                if (!s["radius"]) {
                    rd.fail(s, g + ".radius", "an arc needs a radius in m");
                }
                seg.radius_m = rd.positive(s, "radius", g + ".radius", 0.0);
            }
            line.segments.push_back(seg);
        }
        w.lines.push_back(std::move(line));
    }
}

void read_floor(const Reader& rd, const YAML::Node& root, WorldDesc& w) {
    const YAML::Node fl = root["floor"];
    rd.check_map(fl, "floor", {"size", "center", "color", "image", "texel"});
    if (!fl || fl.IsNull()) {
        return;
    }
    const auto size = rd.pair(fl, "size", "floor.size", {w.floor_size_x_m, w.floor_size_z_m}, true);
    const auto center =
        rd.pair(fl, "center", "floor.center", {w.floor_center_x_m, w.floor_center_z_m}, false);
    w.floor_size_x_m = size[0];
    w.floor_size_z_m = size[1];
    w.floor_center_x_m = center[0];
    w.floor_center_z_m = center[1];
    w.floor_color = rd.color(fl, "color", "floor.color", w.floor_color);
    // Not below 0.1 mm: texel indices of anything within the coordinate bounds fit an int.
    w.floor_texel_m = rd.ranged(fl, "texel", "floor.texel", w.floor_texel_m, 0.0001, 10.0,
                                "a texel size from 0.0001 to 10 m");
    const double rows = std::ceil(w.floor_size_x_m / w.floor_texel_m);
    const double cols = std::ceil(w.floor_size_z_m / w.floor_texel_m);
    const double texels = rows * cols;
    if (!(texels <= kMaxTexels && rows <= 16384 && cols <= 16384)) {
        rd.fail(
            fl["texel"] ? fl["texel"] : fl, "floor.texel",
            "expected a texel size that keeps the floor within 16384 texels a side and 16777216 "
            "in all, got " +
                std::to_string(texels) + " texels");
    }
    w.floor_image = rd.text(fl, "image", "floor.image", "");
    if (!w.floor_image.empty()) {
        std::string path = w.floor_image;
        if (path[0] != '/' && !w.base_dir.empty()) {
            path = w.base_dir + "/" + path;
        }
        std::string error;
        if (!read_png(path, w.floor_image_pixels, error)) {
            rd.fail(fl["image"], "floor.image",
                    "expected a readable PNG file, could not read " + path + " (" + error + ")");
        }
    }
}

void read_robot_and_devices(const Reader& rd, const YAML::Node& root, WorldDesc& w) {
    const YAML::Node rb = root["robot"];
    rd.check_map(rb, "robot",
                 {"start", "wheel_radius", "axle_length", "max_wheel_speed", "body_radius"});
    if (rb && !rb.IsNull()) {
        w.robot_start = rd.pose(rb, "start", "robot.start", w.robot_start);
        w.wheel_radius_m = rd.positive(rb, "wheel_radius", "robot.wheel_radius", w.wheel_radius_m);
        w.axle_length_m = rd.positive(rb, "axle_length", "robot.axle_length", w.axle_length_m);
        w.max_wheel_speed_rad_s =
            rd.positive(rb, "max_wheel_speed", "robot.max_wheel_speed", w.max_wheel_speed_rad_s);
        w.body_radius_m = rd.ranged(rb, "body_radius", "robot.body_radius", w.body_radius_m, 0.0,
                                    100.0, "a radius from 0 to 100 m");
    }

    const YAML::Node cam = root["camera"];
    rd.check_map(cam, "camera",
                 {"width", "height", "fov", "mount_height", "forward_offset", "pitch"});
    if (cam && !cam.IsNull()) {
        w.camera_width_px = static_cast<int>(
            rd.integer(cam, "width", "camera.width", w.camera_width_px, 1, kMaxCameraSide));
        w.camera_height_px = static_cast<int>(
            rd.integer(cam, "height", "camera.height", w.camera_height_px, 1, kMaxCameraSide));
        if (static_cast<long long>(w.camera_width_px) * w.camera_height_px > kMaxCameraPixels) {
            rd.fail(
                cam, "camera",
                "expected at most 16777216 pixels (width x height), got " +
                    std::to_string(static_cast<long long>(w.camera_width_px) * w.camera_height_px));
        }
        w.camera_fov_rad = rd.ranged(cam, "fov", "camera.fov", w.camera_fov_rad / kDegToRad, 0.01,
                                     179.0, "a horizontal field of view from 0.01 to 179 degrees") *
                           kDegToRad;
        w.camera_mount_height_m =
            rd.positive(cam, "mount_height", "camera.mount_height", w.camera_mount_height_m);
        w.camera_forward_offset_m =
            rd.finite(cam, "forward_offset", "camera.forward_offset", w.camera_forward_offset_m);
        w.camera_pitch_rad = rd.ranged(cam, "pitch", "camera.pitch", w.camera_pitch_rad / kDegToRad,
                                       -90.0, 90.0, "a downward pitch from -90 to 90 degrees") *
                             kDegToRad;
    }

    const YAML::Node disp = root["display"];
    rd.check_map(disp, "display", {"width", "height"});
    if (disp && !disp.IsNull()) {
        w.display_width_px =
            static_cast<int>(rd.integer(disp, "width", "display.width", 0, 0, kMaxCameraSide));
        w.display_height_px =
            static_cast<int>(rd.integer(disp, "height", "display.height", 0, 0, kMaxCameraSide));
        // 0 stands for the camera's size.
        const long long pixels =
            static_cast<long long>(w.display_width_px > 0 ? w.display_width_px
                                                          : w.camera_width_px) *
            (w.display_height_px > 0 ? w.display_height_px : w.camera_height_px);
        if (pixels > kMaxCameraPixels) {
            rd.fail(
                disp, "display",
                "expected at most 16777216 pixels (width x height), got " + std::to_string(pixels));
        }
    }

    const YAML::Node tof = root["tof"];
    rd.check_map(tof, "tof", {"range"});
    if (tof && !tof.IsNull()) {
        w.tof_range_m = rd.positive(tof, "range", "tof.range", w.tof_range_m);
    }
}

void read_surroundings(const Reader& rd, const YAML::Node& root, WorldDesc& w) {
    const YAML::Node walls = root["walls"];
    if (walls && !walls.IsNull()) {
        if (!walls.IsSequence()) {
            rd.fail(walls, "walls",
                    "expected a sequence of {from: [x, z], to: [x, z]}, got " + describe(walls));
        }
        if (walls.size() > kMaxListed) {
            rd.fail(walls, "walls",
                    "expected at most 10000 walls, got " + std::to_string(walls.size()));
        }
        for (std::size_t i = 0; i < walls.size(); ++i) {
            const std::string f = "walls[" + std::to_string(i) + "]";
            rd.check_map(walls[i], f, {"from", "to"});
            if (!walls[i]["from"] || !walls[i]["to"]) {
                rd.fail(walls[i], f, "expected both from: [x, z] and to: [x, z]");
            }
            const auto a = rd.pair(walls[i], "from", f + ".from", {0, 0}, false);
            const auto b = rd.pair(walls[i], "to", f + ".to", {0, 0}, false);
            w.walls.push_back(WallDesc{a[0], a[1], b[0], b[1]});
        }
    }

    const YAML::Node lights = root["lights"];
    rd.check_map(lights, "lights", {"ambient", "sources"});
    if (lights && !lights.IsNull()) {
        w.ambient_light = rd.ranged(lights, "ambient", "lights.ambient", 0.0, 0.0, 1e12,
                                    "a light level of 0 or more");
        const YAML::Node src = lights["sources"];
        if (src && !src.IsNull()) {
            if (!src.IsSequence()) {
                rd.fail(src, "lights.sources",
                        "expected a sequence of {x, z, height, intensity}, got " + describe(src));
            }
            if (src.size() > kMaxListed) {
                rd.fail(src, "lights.sources",
                        "expected at most 10000 light sources, got " + std::to_string(src.size()));
            }
            for (std::size_t i = 0; i < src.size(); ++i) {
                const std::string f = "lights.sources[" + std::to_string(i) + "]";
                rd.check_map(src[i], f, {"x", "z", "height", "intensity"});
                LightDesc l;
                l.x_m = rd.finite(src[i], "x", f + ".x", 0.0);
                l.z_m = rd.finite(src[i], "z", f + ".z", 0.0);
                l.height_m = rd.finite(src[i], "height", f + ".height", 1.0);
                l.intensity = rd.ranged(src[i], "intensity", f + ".intensity", 0.0, 0.0, 1e12,
                                        "an intensity of 0 or more");
                w.lights.push_back(l);
            }
        }
    }

    const YAML::Node noise = root["noise"];
    rd.check_map(noise, "noise", {"seed", "camera", "wheel_speed"});
    if (noise && !noise.IsNull()) {
        w.noise_seed = static_cast<std::uint64_t>(
            rd.integer(noise, "seed", "noise.seed", 1, 0, 9223372036854775807LL));
        w.camera_noise = rd.ranged(noise, "camera", "noise.camera", 0.0, 0.0, 255.0,
                                   "a standard deviation from 0 to 255");
        w.wheel_speed_noise = rd.ranged(noise, "wheel_speed", "noise.wheel_speed", 0.0, 0.0, 1.0,
                                        "a relative standard deviation from 0 to 1");
    }

    const YAML::Node out = root["output"];
    rd.check_map(out, "output", {"top_view", "top_view_texel"});
    if (out && !out.IsNull()) {
        w.top_view_png = rd.text(out, "top_view", "output.top_view", "");
        // Checked now rather than after the whole run: the file must be one we can create.
        if (!w.top_view_png.empty()) {
            const std::string why = why_not_writable(w.top_view_png);
            if (!why.empty()) {
                rd.fail(out["top_view"], "output.top_view",
                        "expected a PNG file that can be written, got \"" + w.top_view_png +
                            "\" (" + why + ")");
            }
        }
        w.top_view_texel_m =
            rd.positive(out, "top_view_texel", "output.top_view_texel", w.top_view_texel_m);
        const double px = std::ceil(w.floor_size_x_m / w.top_view_texel_m) *
                          std::ceil(w.floor_size_z_m / w.top_view_texel_m);
        if (!(px <= kMaxTexels)) {
            rd.fail(out, "output.top_view_texel",
                    "expected a pixel size that keeps the picture within 16777216 pixels");
        }
    }
}

}  // namespace

WorldDesc parse_world(const std::string& text, const std::string& source_name,
                      const std::string& base_dir) {
    const Reader rd(source_name);
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::ParserException& e) {
        throw WorldFileError(source_name + ":" + std::to_string(e.mark.line + 1) +
                             ": YAML syntax: " + e.msg);
    }
    WorldDesc w;
    w.source_name = source_name;
    w.base_dir = base_dir;
    rd.check_map(root, "",
                 {"duration", "floor", "lines", "robot", "camera", "display", "tof", "walls",
                  "lights", "noise", "output"});
    if (!root || root.IsNull()) {
        return w;
    }
    w.duration_s = rd.ranged(root, "duration", "duration", w.duration_s, 0.001, 1e8,
                             "a duration from 0.001 to 100000000 s");
    read_floor(rd, root, w);
    read_lines(rd, root, w);
    read_robot_and_devices(rd, root, w);
    read_surroundings(rd, root, w);
    return w;
}

WorldDesc load_world_file(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        throw WorldFileError(path + ": cannot open the world file (" + std::strerror(errno) + ")");
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(f, std::fclose);
    // Opening a directory for reading succeeds and reading it gives nothing, which would be
    // an empty (valid) world; so only a regular file is a world file.
    struct stat st {};
    if (fstat(fileno(f), &st) != 0) {
        throw WorldFileError(path + ": cannot open the world file (" + std::strerror(errno) + ")");
    }
    if (!S_ISREG(st.st_mode)) {
        throw WorldFileError(path + ": expected a world file, got " +
                             (S_ISDIR(st.st_mode) ? "a directory" : "a device, pipe or socket"));
    }
    std::string text;
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
    }
    if (std::ferror(f)) {
        throw WorldFileError(path + ": cannot read the world file (" + std::strerror(errno) + ")");
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    return parse_world(text, path, dir.empty() ? "/" : dir);
}

}  // namespace sim

#include "importer.h"

#include "import_names.h"
#include "key_fitting.h"

#include <algorithm>
#include <cmath>

namespace gltf_import {

namespace {

// The roll that turns the player's up vector closest to the wanted up: r, and the angle
// left between them in degrees. The roll turns the up about world Z, so two rolls can show
// the same picture; the one nearer the previous frame's is taken, which keeps the roll
// from jumping between them (the player interpolates it between frames).
std::pair<double, double> solveRoll(DVec3 view, DVec3 wanted, double previous)
{
    DVec3 n = normalised(view);
    DVec3 s{1, 0, 0};
    double across = std::sqrt(n.x * n.x + n.y * n.y);
    if (across > 0)
        s = DVec3{n.y, -n.x, 0} * (1.0 / across);
    DVec3 u = normalised(cross3(s, n));
    DVec3 target = normalised(wanted - n * dot3(wanted, n));
    auto closeness = [&](double r) {
        double c = std::cos(r), sn = std::sin(r);
        DVec3 up{c * u.x - sn * u.y, sn * u.x + c * u.y, u.z};
        DVec3 effective = normalised(up - n * dot3(up, n));
        return dot3(effective, target);
    };
    constexpr int steps = 360;
    std::vector<double> grid(steps);
    for (int i = 0; i < steps; ++i)
        grid[size_t(i)] = closeness(-pi + 2 * pi * i / steps);
    // Every peak of the coarse search, refined.
    std::vector<std::pair<double, double>> peaks; // roll, closeness
    for (int i = 0; i < steps; ++i) {
        const double here = grid[size_t(i)];
        if (here < grid[size_t((i + steps - 1) % steps)] || here < grid[size_t((i + 1) % steps)])
            continue;
        double best = -pi + 2 * pi * i / steps, bestValue = here;
        for (double step = pi / steps; step > 1e-9; step *= 0.5)
            for (double r : {best - step, best + step}) {
                double v = closeness(r);
                if (v > bestValue)
                    bestValue = v, best = r;
            }
        peaks.push_back({best, bestValue});
    }
    double top = -2;
    for (const auto& peak : peaks)
        top = std::max(top, peak.second);
    double best = 0, bestValue = top, nearest = 0;
    bool found = false;
    for (const auto& peak : peaks) {
        if (peak.second < top - 1e-9)
            continue;
        // The same roll as near the previous one as whole turns allow.
        const double r = peak.first + 2 * pi * std::round((previous - peak.first) / (2 * pi));
        if (!found || std::fabs(r - previous) < nearest) {
            best = r;
            bestValue = peak.second;
            nearest = std::fabs(r - previous);
            found = true;
        }
    }
    double left = std::acos(std::clamp(bestValue, -1.0, 1.0)) * 180 / pi;
    return {best, left};
}

// The field-of-view keys taldrex-scene export keeps beside a camera (glTF holds one field
// of view): [frame, value, tension, continuity, bias, ease to, ease from] each, in the
// player's units. False, with the track untouched, when they are not all such keys.
bool exportedFieldOfView(const tinygltf::Value& keys, ScalarTrackSpec& track)
{
    std::vector<KeySpec<float>> read;
    for (size_t i = 0; i < keys.ArrayLen(); ++i) {
        const tinygltf::Value& key = keys.Get(int(i));
        if (!key.IsArray() || key.ArrayLen() != 7)
            return false;
        float fields[7];
        for (int f = 0; f < 7; ++f) {
            const tinygltf::Value& field = key.Get(f);
            const double value = field.IsNumber() ? field.GetNumberAsDouble() : std::nan("");
            if (!std::isfinite(value) || std::fabs(value) > 1e9)
                return false;
            fields[f] = float(value);
        }
        if (fields[0] != std::floor(fields[0]))
            return false;
        KeySpec<float> spec;
        spec.frame = int32_t(fields[0]);
        spec.value = fields[1];
        spec.tension = fields[2];
        spec.continuity = fields[3];
        spec.bias = fields[4];
        spec.easeTo = fields[5];
        spec.easeFrom = fields[6];
        read.push_back(spec);
    }
    if (read.empty())
        return false;
    track.keys = std::move(read);
    return true;
}

} // namespace

void Importer::convertCamera(int nodeIndex)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    if (node.camera < 0 || size_t(node.camera) >= model_.cameras.size())
        fail("node " + std::to_string(nodeIndex) + " names camera " + std::to_string(node.camera) + ", which does not exist");
    const tinygltf::Camera& camera = model_.cameras[size_t(node.camera)];
    if (camera.type == "orthographic") {
        // Placed once the whole model is known: its depth decides the distance.
        orthographic_.push_back(nodeIndex);
        return;
    }
    const std::string name = cameraName(nodeIndex);
    if (camera.type != "perspective") {
        show_.warnings.push_back("camera " + quoted(name) + ": " + quoted(camera.type) + " cameras are not supported, skipped");
        return;
    }
    const double yfov = camera.perspective.yfov * 180 / pi;
    if (!(yfov > 0) || !(yfov < 180))
        fail("camera " + quoted(name) + " has a field of view of " + formatNumber(yfov) + " degrees");
    CameraView view;
    view.name = name;
    view.fovDegrees = yfov;
    view.znear = std::max(0.0, camera.perspective.znear);
    if (camera.perspective.zfar > 0)
        view.zfar = camera.perspective.zfar;
    bakeCamera(nodeIndex, {}, std::move(view));
    if (camera.perspective.aspectRatio > 0 && std::fabs(camera.perspective.aspectRatio - FixedAspect) > 0.01)
        warnOnce("aspect", "camera " + quoted(name) + ": aspect ratio " + formatNumber(camera.perspective.aspectRatio) +
                               " is drawn at the player's fixed 83:65");
}

// The camera node's name as a part finds it: the first node whose name contains the part's
// text, so a name within an earlier camera's is made unique.
std::string Importer::cameraName(int nodeIndex) const
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    const tinygltf::Camera& camera = model_.cameras[size_t(node.camera)];
    std::string name = playerName(node.name.empty() ? camera.name : node.name,
                                  "camera" + std::to_string(cameras_.size() / 2 + 1), maxNodeName);
    for (bool clash = true; clash;) {
        clash = false;
        for (const NodeSpec& earlier : cameras_)
            if (earlier.name.find(name) != std::string::npos)
                clash = true;
        if (clash)
            name = cutUtf8(name, maxNodeName - 3) + "#" + std::to_string(cameras_.size() / 2 + 1);
    }
    return name;
}

// Bakes the camera node's eye, target and roll per frame into a camera and its target,
// the eye moved back along the view by back[frame] where back is given.
void Importer::bakeCamera(int nodeIndex, const std::vector<double>& back, CameraView seen)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    const std::string name = seen.name;
    const bool animated = !segments_.empty();
    const int n = animated ? frames_ : 1;
    std::vector<Vector3> eyes(static_cast<size_t>(n)), targets(static_cast<size_t>(n));
    std::vector<float> rolls(static_cast<size_t>(n));
    double previousRoll = 0, rollLeft = 0;
    bool nudged = false;
    for (int f = 0; f < n; ++f) {
        Mat4 world = worldAt(nodeIndex, f);
        DVec3 eye = toPlayerD(transformPoint(world, {0, 0, 0}));
        DVec3 view = normalised(toPlayerD(transformVector(world, {0, 0, -1})));
        DVec3 up = normalised(toPlayerD(transformVector(world, {0, 1, 0})));
        if (length3(view) == 0 || length3(up) == 0) {
            // Scaled to nothing: no direction to look in. Look ahead along the player's Y.
            warnOnce("flat camera " + name, "camera " + quoted(name) + ": scaled to zero, looks along +Y instead");
            view = {0, 1, 0};
            up = {0, 0, 1};
        }
        if (!back.empty())
            eye = eye - view * back[size_t(f)];
        DVec3 target = eye + view * 100.0;
        if (std::sqrt(view.x * view.x + view.y * view.y) < 1e-4) {
            // Straight up or down leaves the player no side vector: lean towards the up.
            DVec3 lean{up.x, up.y, 0};
            if (length3(lean) == 0)
                lean = {0, 1, 0};
            target = target + normalised(lean) * 0.05;
            nudged = true;
        }
        // The roll is solved for the eye and target as the player keeps them, in floats.
        const Vector3 eyeKept = toFloats(eye), targetKept = toFloats(target);
        eyes[size_t(f)] = eyeKept;
        targets[size_t(f)] = targetKept;
        DVec3 used = DVec3{targetKept.x, targetKept.y, targetKept.z} - DVec3{eyeKept.x, eyeKept.y, eyeKept.z};
        auto roll = solveRoll(used, up, previousRoll);
        previousRoll = roll.first;
        rollLeft = std::max(rollLeft, roll.second);
        rolls[size_t(f)] = float(roll.first);
    }
    if (nudged)
        show_.warnings.push_back("camera " + quoted(name) + ": looks straight up or down, target moved 0.05 units sideways");
    if (rollLeft > 0.05)
        show_.warnings.push_back("camera " + quoted(name) + ": its tilt cannot be shown by the player's roll (largest difference left " +
                                 formatNumber(rollLeft) + " degrees)");
    NodeSpec cam = makeNode(NodeType::Camera, name);
    NodeSpec tgt = makeNode(NodeType::Target, name);
    const std::vector<int> frames = allKeyFrames();
    auto report = [&](const std::string& who, const char* property, const FitResult& r, double tolerance, const char* unit) {
        if (animated)
            show_.tracks.push_back({who, property, r.keysIn, r.keysOut, r.largest, tolerance, unit});
    };
    double tol = vectorTolerance(eyes);
    report(name, "position", fitVectorTrack(eyes, frames, tol, cam.position), tol, "units");
    tol = vectorTolerance(targets);
    report(name, "target", fitVectorTrack(targets, frames, tol, tgt.position), tol, "units");
    tol = 0.05 * options_.tolerance / 0.001 * pi / 180;
    FitResult rollFit = fitScalarTrack(rolls, frames, tol, cam.roll);
    rollFit.largest *= 180 / pi;
    report(name, "roll", rollFit, tol * 180 / pi, "degrees");
    cam.fov.keys = {{0, FieldOfViewValue(seen.fovDegrees)}};
    const tinygltf::Value* taldrex = taldrexOf(node.extras);
    if (taldrex && taldrex->Get("fovKeys").IsArray() && !exportedFieldOfView(taldrex->Get("fovKeys"), cam.fov))
        show_.warnings.push_back("camera " + quoted(name) + ": the field-of-view keys in its extras are not keys; "
                                 "kept the glTF camera's field of view");
    for (size_t f = 0; f < eyes.size(); ++f) {
        seen.eyes.push_back({eyes[f].x, eyes[f].y, eyes[f].z});
        seen.forwards.push_back(normalised(DVec3{targets[f].x, targets[f].y, targets[f].z} - seen.eyes.back()));
    }
    seen.fovDegrees = FieldOfViewDegrees(cam.fov.keys[0].value);
    views_.push_back(std::move(seen));
    cameras_.push_back(std::move(cam));
    cameras_.push_back(std::move(tgt));
    show_.cameras.push_back(name);
}

void Importer::addDefaultCamera()
{
    bool any = false;
    Vector3 lo, hi;
    auto add = [&](const Vector3& v) {
        if (!any) {
            lo = hi = v;
            any = true;
            return;
        }
        lo = Vector3(std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z));
        hi = Vector3(std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z));
    };
    // Frame the model over its whole animation: every frame, or 64 of them for large ones.
    uint64_t vertices = 0;
    for (int index : order_)
        if (model_.nodes[size_t(index)].mesh >= 0)
            vertices += meshData(model_.nodes[size_t(index)].mesh).base.size();
    const int step = uint64_t(frames_) * vertices <= 2000000 ? 1 : std::max(1, frames_ / 64);
    for (int index : order_) {
        const tinygltf::Node& node = model_.nodes[size_t(index)];
        if (node.mesh < 0 || node.skin >= 0)
            continue;
        const MeshData& mesh = meshData(node.mesh);
        std::vector<int> sampled;
        for (int f = 0; f < frames_; f += step)
            sampled.push_back(f);
        if (sampled.back() != frames_ - 1)
            sampled.push_back(frames_ - 1);
        for (int f : sampled) {
            std::vector<double> w = weightsAt(index, f, mesh);
            for (const Mat4& world : drawnAt(index, f))
                for (size_t v = 0; v < mesh.base.size(); ++v) {
                    add(toPlayer(transformPoint(world, morphed(mesh, v, w))));
                }
        }
    }
    // Skinned meshes are written in world space: their vertices and keys are the places.
    for (const NodeSpec& skinned : skinned_) {
        for (const Vector3& v : skinned.vertices)
            add(v);
        for (const MorphKeySpec& key : skinned.morph.keys)
            for (const Vector3& v : key.positions)
                add(v);
    }
    DVec3 centre{0, 0, 0};
    double radius = 1;
    if (any) {
        centre = {0.5 * (lo.x + hi.x), 0.5 * (lo.y + hi.y), 0.5 * (lo.z + hi.z)};
        Vector3 d = hi - lo;
        radius = std::max(1e-3, 0.5 * std::sqrt(double(dot(d, d))));
    }
    const double fov = 45.0;
    const double distance = radius / std::sin(fov * 0.5 * pi / 180) * 1.1;
    const double elevation = 20 * pi / 180;
    DVec3 eye = centre + DVec3{0, -std::cos(elevation), std::sin(elevation)} * distance;
    std::string name = "camera";
    NodeSpec cam = makeNode(NodeType::Camera, name, Vector3(float(eye.x), float(eye.y), float(eye.z)));
    NodeSpec tgt = makeNode(NodeType::Target, name, Vector3(float(centre.x), float(centre.y), float(centre.z)));
    cam.fov.keys = {{0, FieldOfViewValue(fov)}};
    CameraView view;
    view.name = name;
    view.eyes = {{eye.x, eye.y, eye.z}};
    view.forwards = {normalised(centre - eye)};
    view.fovDegrees = fov;
    view.own = false;
    views_.push_back(std::move(view));
    cameras_.push_back(std::move(cam));
    cameras_.push_back(std::move(tgt));
    show_.cameras.push_back(name);
    show_.notes.push_back("the model has no camera: added camera \"camera\" looking at the whole model, over its whole animation, from the front");
}

void Importer::convertLight(int nodeIndex, NodeSpec& parent)
{
    const tinygltf::Node& node = model_.nodes[size_t(nodeIndex)];
    auto ext = node.extensions.find("KHR_lights_punctual");
    if (ext == node.extensions.end() || !ext->second.IsObject() || !ext->second.Has("light"))
        return;
    int index = ext->second.Get("light").GetNumberAsInt();
    if (index < 0 || size_t(index) >= model_.lights.size())
        fail("node " + quoted(node.name) + " names light " + std::to_string(index) + ", which does not exist");
    const tinygltf::Light& light = model_.lights[size_t(index)];
    std::string name = playerName(light.name.empty() ? node.name : light.name, "light", maxNodeName);
    NodeSpec spec = makeNode(NodeType::Light, name);
    double rgb[3] = {1, 1, 1};
    for (size_t i = 0; i < 3 && i < light.color.size(); ++i)
        rgb[i] = light.color[i];
    bool clamped = false;
    for (double& c : rgb) {
        c *= light.intensity;
        if (c > 1)
            c = 1, clamped = true;
        if (!(c >= 0))
            c = 0;
    }
    spec.colour = Vector3(float(rgb[0]), float(rgb[1]), float(rgb[2]));
    // taldrex-scene export keeps the player's colour as it was, brighter than white or not.
    const tinygltf::Value* taldrex = taldrexOf(light.extras);
    const tinygltf::Value* colour = taldrex ? &taldrex->Get("colour") : nullptr;
    if (colour && colour->IsArray() && colour->ArrayLen() == 3 && colour->Get(0).IsNumber() &&
        colour->Get(1).IsNumber() && colour->Get(2).IsNumber())
        spec.colour = Vector3(float(colour->Get(0).GetNumberAsDouble()), float(colour->Get(1).GetNumberAsDouble()),
                              float(colour->Get(2).GetNumberAsDouble()));
    else if (clamped)
        show_.warnings.push_back("light " + quoted(name) + ": colour x intensity above 1, clamped");
    // The player places a light at its matrix applied to its position: twice the position.
    if (light.type == "directional") {
        spec.position.keys = {{0, toPlayer({0, 0, 500})}};
        show_.warnings.push_back("light " + quoted(name) + ": directional light drawn as a point light 1000 units away");
    } else if (light.type == "spot") {
        show_.warnings.push_back("light " + quoted(name) + ": spot cone not supported, drawn as a point light");
    }
    if (light.range > 0)
        warnOnce("range", "light " + quoted(name) + ": range is not supported, the light does not fall off");
    if (++lightsSeen_ == maxLights + 1)
        show_.warnings.push_back("light " + quoted(name) + " and those after it are not used: the player uses eight lights");
    parent.children.insert(parent.children.begin(), std::move(spec));
}

// An orthographic camera, drawn by a perspective camera moved back along its view until
// the picture differs from the orthographic one by at most 0.5 % of its height over the
// model's depth: a point off the axis by h and off the middle depth D by d is drawn at
// h D / (D + d) instead of h, and h reaches the picture's half width, FixedAspect times
// its half height. The field of view keeps the orthographic picture's height at the middle
// depth. Skipped with a warning when no geometry lies before it, or when the distance would
// pass the far plane at the scale asked for.
void Importer::convertOrthographic(int nodeIndex)
{
    const tinygltf::OrthographicCamera& ortho = model_.cameras[size_t(model_.nodes[size_t(nodeIndex)].camera)].orthographic;
    const std::string name = cameraName(nodeIndex);
    constexpr double allowed = 0.005;
    std::map<int, std::pair<double, double>> depths; // per sampled frame: nearest, farthest
    const double high = std::fabs(ortho.ymag), wide = high * FixedAspect;
    sampleGeometry([&](int f, const std::vector<DVec3>& points) {
        const Mat4 world = worldAt(nodeIndex, f);
        const DVec3 eye = toPlayerD(transformPoint(world, {0, 0, 0}));
        const DVec3 forward = normalised(toPlayerD(transformVector(world, {0, 0, -1})));
        const DVec3 up = normalised(toPlayerD(transformVector(world, {0, 1, 0})));
        const DVec3 side = cross3(forward, up);
        double nearest = std::numeric_limits<double>::infinity(), farthest = -nearest;
        for (const DVec3& p : points) {
            const DVec3 d = p - eye;
            const double depth = dot3(d, forward);
            if (depth < ortho.znear || (ortho.zfar > ortho.znear && depth > ortho.zfar) ||
                std::fabs(dot3(d, side)) > wide || std::fabs(dot3(d, up)) > high)
                continue;
            nearest = std::min(nearest, depth);
            farthest = std::max(farthest, depth);
        }
        if (nearest <= farthest)
            depths[f] = {nearest, farthest};
    });
    if (depths.empty() || !(high > 0)) {
        show_.warnings.push_back("camera " + quoted(name) + ": orthographic, and sees nothing of the model; skipped");
        return;
    }
    double half = 0; // half the model's depth, at its deepest
    for (const auto& d : depths)
        half = std::max(half, 0.5 * (d.second.second - d.second.first));
    const double middle = std::max(half * (1 + FixedAspect / (2 * allowed)), 2 * high);
    const double scale = options_.scale > 0 ? options_.scale : 1;
    if (options_.scale > 0 && (middle + half) * scale > FarPlane) {
        show_.warnings.push_back("camera " + quoted(name) + ": orthographic, and a perspective camera far enough away to "
                                 "stand for it would pass the far plane; skipped");
        return;
    }
    // How far back the eye goes at each frame, between the sampled frames in proportion.
    std::vector<double> back(size_t(segments_.empty() ? 1 : frames_));
    auto middleOf = [](const std::pair<double, double>& d) { return 0.5 * (d.first + d.second); };
    for (size_t f = 0; f < back.size(); ++f) {
        const auto after = depths.lower_bound(int(f));
        double at;
        if (after == depths.end()) {
            at = middleOf(std::prev(after)->second);
        } else if (after->first == int(f) || after == depths.begin()) {
            at = middleOf(after->second);
        } else {
            const auto before = std::prev(after);
            const double part = (double(f) - before->first) / (after->first - before->first);
            at = middleOf(before->second) + (middleOf(after->second) - middleOf(before->second)) * part;
        }
        back[f] = middle - at;
    }
    CameraView view;
    view.name = name;
    view.fovDegrees = 2 * std::atan(high / middle) * 180 / pi;
    bakeCamera(nodeIndex, back, std::move(view));
    const double error = half > 0 ? FixedAspect * half / (2 * (middle - half)) : 0;
    show_.notes.push_back("camera " + quoted(name) + ": orthographic, drawn by a perspective camera " +
                          formatNumber(middle) + " model units from the model's middle (a field of view of " +
                          formatNumber(views_.back().fovDegrees) + " degrees), within " + formatNumber(error * 100) +
                          " % of the picture's height of the orthographic picture over the model's depth");
}

} // namespace gltf_import

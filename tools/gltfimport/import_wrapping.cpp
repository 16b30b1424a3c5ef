#include "importer.h"

#include "import_names.h"
#include "png_bytes.h"

#include <algorithm>
#include <cmath>

namespace gltf_import {

namespace {

// A clamped picture is widened to at most this many times its size along each axis.
constexpr int maxClampTimes = 4;

const char* wrapName(Wrap wrap)
{
    return wrap == Wrap::ClampToEdge ? "CLAMP_TO_EDGE" : wrap == Wrap::MirroredRepeat ? "MIRRORED_REPEAT" : "REPEAT";
}

// Calls visit on every face of a group of the given material, once a face, in nodes and
// everything below them.
void forFacesOf(std::vector<NodeSpec>& nodes, int material, const std::function<void(FaceSpec&)>& visit)
{
    for (NodeSpec& node : nodes) {
        std::vector<bool> seen(node.faces.size(), false);
        for (const GroupSpec& group : node.groups) {
            if (group.material != material)
                continue;
            for (int32_t face : group.faces)
                if (face >= 0 && size_t(face) < seen.size() && !seen[size_t(face)]) {
                    seen[size_t(face)] = true;
                    visit(node.faces[size_t(face)]);
                }
        }
        forFacesOf(node.children, material, visit);
    }
}

std::string axisKey(const AxisBake& axis)
{
    return std::to_string(axis.first) + "," + std::to_string(axis.size) + (axis.mirrored ? "m" : "");
}

} // namespace

// Materials whose base colour sampler clamps or mirrors, or whose base colour factor tints
// their texture, get a baked picture; the others, and every model without such materials,
// are left exactly as they were.
void Importer::bakePictures()
{
    std::map<int, RawPicture> decoded; // texture file -> its pixels, decoded once
    for (size_t material = 0; material < materialSource_.size(); ++material) {
        const int source = materialSource_[material];
        if (source < 0 || taldrexOf(model_.materials[size_t(source)].extras))
            continue;
        const auto& pbr = model_.materials[size_t(source)].pbrMetallicRoughness;
        const int texture = pbr.baseColorTexture.index;
        if (texture < 0 || size_t(texture) >= model_.textures.size())
            continue;
        Wrap s = Wrap::Repeat, t = Wrap::Repeat;
        const int sampler = model_.textures[size_t(texture)].sampler;
        if (sampler >= 0 && size_t(sampler) < model_.samplers.size()) {
            s = WrapOf(model_.samplers[size_t(sampler)].wrapS);
            t = WrapOf(model_.samplers[size_t(sampler)].wrapT);
        }
        std::array<double, 3> tint{1, 1, 1};
        for (size_t c = 0; c < 3 && c < pbr.baseColorFactor.size(); ++c)
            tint[c] = pbr.baseColorFactor[c];
        if (s != Wrap::Repeat || t != Wrap::Repeat || tint != std::array<double, 3>{1, 1, 1})
            bakeMaterial(int(material), texture, {s, t}, tint, decoded);
    }
}

// Writes the picture of texture file baked by axes and tinted by tint (white: no tint)
// among the show's textures, with a note. Returns its name; empty, with a warning for the
// material named that says what is lost, when it is more than the player draws or the
// memory there is.
std::string Importer::writeBake(const RawPicture& picture, int file, const AxisBake (&axes)[2],
                                const std::array<Wrap, 2>& wraps, const std::array<double, 3>& tint,
                                const std::string& name, const std::string& lost)
{
    const bool tinted = tint != std::array<double, 3>{1, 1, 1};
    const bool moved = axes[0].changes() || axes[1].changes();
    RawPicture out = BakePicture(picture, axes[0], axes[1]);
    if (tinted)
        TintPicture(out, tint);
    const std::string png = out.pixels.empty()     ? std::string()
                            : out.channels == 4 ? rgbaPng(out.width, out.height, out.pixels.data())
                                                : rgbPng(out.width, out.height, out.pixels.data());
    if (png.empty()) {
        show_.warnings.push_back("material " + name + ": its baked picture of " + std::to_string(axes[0].size) +
                                 " x " + std::to_string(axes[1].size) +
                                 " pixels is more than the player draws or the memory there is, so " + lost);
        return std::string();
    }
    const std::string original = show_.textures[size_t(file)].name;
    std::string stem = original.substr(0, original.rfind('.'));
    if (stem.rfind(stem_ + "_", 0) == 0)
        stem = stem.substr(stem_.size() + 1);
    const std::string written = freeTextureName(stem + (tinted ? "_tinted" : "") + (moved ? "_wrapped" : ""), ".png");
    show_.textures.push_back({written, png});
    std::string what;
    if (moved)
        what = std::string("its texture wrapping (") + wrapName(wraps[0]) + ", " + wrapName(wraps[1]) + ")";
    if (tinted)
        what += (moved ? " and " : "") + std::string("the base colour factor (") + formatNumber(tint[0]) + ", " +
                formatNumber(tint[1]) + ", " + formatNumber(tint[2]) + ")";
    show_.notes.push_back("picture " + original + ": " + what + (moved && tinted ? " are" : " is") + " baked into " +
                          written + ", " + std::to_string(out.width) + " x " + std::to_string(out.height) + " pixels");
    return written;
}

// Bakes one material's picture for its wrap modes over the coordinates its faces use and
// its tint, and moves those coordinates into it. Warns, leaving picture and coordinates as
// they are, when the picture does not decode or the baked one would pass the player's
// limits; a wrapping that would grow past the clamp's limit is left out with a warning and
// the tint still baked.
void Importer::bakeMaterial(int material, int texture, const std::array<Wrap, 2>& wraps,
                            const std::array<double, 3>& tint, std::map<int, RawPicture>& decoded)
{
    bool jpeg = false;
    const int file = textureFile(texture, jpeg);
    if (file < 0)
        return;
    const int source = materialSource_[size_t(material)];
    const std::string name =
        quoted(playerName(model_.materials[size_t(source)].name, "material" + std::to_string(source), maxMaterialName));
    const bool tinted = tint != std::array<double, 3>{1, 1, 1};
    // The range of glTF's coordinates (JPEG pictures have their t turned over).
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    forFacesOf(show_.scene.nodes, material, [&](FaceSpec& face) {
        for (const CornerSpec& c : face.corners) {
            const double uv[2] = {c.s, jpeg ? 1.0 - double(c.t) : double(c.t)};
            for (int a = 0; a < 2; ++a)
                if (std::isfinite(uv[a])) {
                    low[a] = std::min(low[a], uv[a]);
                    high[a] = std::max(high[a], uv[a]);
                }
        }
    });
    if (!(low[0] <= high[0] && low[1] <= high[1]))
        return;
    const bool wrapped = wraps[0] != Wrap::Repeat || wraps[1] != Wrap::Repeat;
    const std::string lost = !tinted   ? "its texture wrapping is not baked; drawn repeating"
                             : !wrapped ? "its base colour factor is not applied to the texture"
                                        : "neither its texture wrapping nor its base colour factor is baked; drawn "
                                          "repeating in the texture's own colours";
    auto found = decoded.find(file);
    if (found == decoded.end()) {
        RawPicture picture;
        std::string problem;
        if (!DecodeRawPicture(show_.textures[size_t(file)].bytes, maxPictureSide, picture, problem))
            picture = RawPicture();
        found = decoded.emplace(file, std::move(picture)).first;
    }
    const RawPicture& picture = found->second;
    if (picture.pixels.empty()) {
        show_.warnings.push_back("material " + name + ": its picture " + show_.textures[size_t(file)].name +
                                 " does not decode or is larger than the player draws, so " + lost);
        return;
    }
    AxisBake axes[2];
    const int sizes[2] = {picture.width, picture.height};
    for (int a = 0; a < 2; ++a)
        if (!PlanAxis(wraps[size_t(a)], sizes[a], low[a], high[a], maxClampTimes, maxPictureSide, axes[a])) {
            show_.warnings.push_back("material " + name + ": " + wrapName(wraps[size_t(a)]) + " along " + (a ? "t" : "s") +
                                     " over coordinates " + formatNumber(low[a]) + " to " + formatNumber(high[a]) +
                                     " would widen its picture past " + std::to_string(maxClampTimes) +
                                     " times its size; the picture is left as is and repeats");
            if (!tinted)
                return;
            PlanAxis(Wrap::Repeat, sizes[0], low[0], high[0], maxClampTimes, maxPictureSide, axes[0]);
            PlanAxis(Wrap::Repeat, sizes[1], low[1], high[1], maxClampTimes, maxPictureSide, axes[1]);
            break;
        }
    const bool moved = axes[0].changes() || axes[1].changes();
    if (!moved && !tinted)
        return;
    std::string key = std::to_string(file) + ":" + axisKey(axes[0]) + ":" + axisKey(axes[1]);
    for (double f : tint)
        key += ":" + formatNumber(f);
    auto baked = bakes_.find(key);
    if (baked == bakes_.end()) {
        const std::string written = writeBake(picture, file, axes, wraps, tint, name, lost);
        if (written.empty())
            return;
        baked = bakes_.emplace(key, written).first;
    }
    bakedFileOf_[material] = baked->second;
    replaced_.insert(show_.textures[size_t(file)].name);
    forFacesOf(show_.scene.nodes, material, [&](FaceSpec& face) {
        for (CornerSpec& c : face.corners) {
            const double v = jpeg ? 1.0 - double(c.t) : double(c.t);
            c.s = float(axes[0].coordinate(c.s));
            c.t = float(axes[1].coordinate(v)); // the baked picture is a PNG, top row first
        }
    });
}

// A picture every material of which draws a baked copy is not written: the player would
// load it for nothing.
void Importer::dropReplacedPictures()
{
    std::set<std::string> used;
    for (const MaterialSpec& material : show_.scene.materials)
        for (const MaterialMapSpec& map : material.maps)
            used.insert(map.file);
    auto unused = [&](const OutputFile& f) { return replaced_.count(f.name) && !used.count(f.name); };
    show_.textures.erase(std::remove_if(show_.textures.begin(), show_.textures.end(), unused), show_.textures.end());
}

} // namespace gltf_import

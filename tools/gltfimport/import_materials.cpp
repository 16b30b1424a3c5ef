#include "importer.h"

#include "import_names.h"
#include "png_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gltf_import {

namespace {

bool isJpeg(const std::vector<unsigned char>& b)
{
    return b.size() > 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

bool isWebp(const std::vector<unsigned char>& b)
{
    return b.size() > 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "WEBP", 4) == 0;
}

bool isPng(const std::vector<unsigned char>& b)
{
    static const unsigned char magic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return b.size() > 8 && std::memcmp(b.data(), magic, 8) == 0;
}

double linearToSrgb(double c)
{
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// The scene materials some group of the nodes draws: one every primitive of which draws
// its vertex colours instead is written without a picture, which the player would load
// for nothing.
void collectDrawn(const std::vector<NodeSpec>& nodes, std::set<int>& drawn)
{
    for (const NodeSpec& node : nodes) {
        for (const GroupSpec& group : node.groups)
            drawn.insert(group.material);
        collectDrawn(node.children, drawn);
    }
}

std::set<int> drawnMaterials(const std::vector<NodeSpec>& nodes)
{
    std::set<int> drawn;
    collectDrawn(nodes, drawn);
    return drawn;
}

} // namespace

int Importer::textureFile(int textureIndex, bool& jpeg)
{
    jpeg = false;
    if (textureIndex < 0 || size_t(textureIndex) >= model_.textures.size())
        fail("texture " + std::to_string(textureIndex) + " does not exist");
    const tinygltf::Texture& texture = model_.textures[size_t(textureIndex)];
    int image = texture.source;
    // A WebP picture may be the only one given; it is turned into PNG below.
    auto webp = texture.extensions.find("EXT_texture_webp");
    if (image < 0 && webp != texture.extensions.end() && webp->second.IsObject() && webp->second.Has("source"))
        image = webp->second.Get("source").GetNumberAsInt();
    if (image < 0) {
        warnOnce("texture-source " + std::to_string(textureIndex),
                 "texture " + std::to_string(textureIndex) + ": its image is given only by an extension; drawn in the base colour");
        return -1;
    }
    if (size_t(image) >= model_.images.size())
        fail("texture " + std::to_string(textureIndex) + " names image " + std::to_string(image) + ", which does not exist");
    auto found = textureFileOf_.find(image);
    if (found != textureFileOf_.end()) {
        jpeg = found->second.second;
        return found->second.first;
    }
    const tinygltf::Image& img = model_.images[size_t(image)];
    std::vector<unsigned char> bytes;
    if (img.bufferView >= 0) {
        uint64_t stride = 0;
        std::string problem;
        uint64_t length = size_t(img.bufferView) < model_.bufferViews.size() ? model_.bufferViews[size_t(img.bufferView)].byteLength : 0;
        const unsigned char* p = viewBytes(model_, img.bufferView, 0, 1, length, stride, problem);
        if (!p)
            fail("image " + std::to_string(image) + " " + problem);
        bytes.assign(p, p + length);
    } else {
        auto kept = images_.byIndex.find(image);
        if (kept != images_.byIndex.end())
            bytes = kept->second;
    }
    int result = -1;
    if (isJpeg(bytes) || isPng(bytes)) {
        jpeg = isJpeg(bytes);
        std::string stem = imageStem(img, image);
        show_.textures.push_back({freeTextureName(stem, jpeg ? ".jpg" : ".png"), std::string(bytes.begin(), bytes.end())});
        result = int(show_.textures.size()) - 1;
    } else if (isWebp(bytes)) {
        std::string png = webpAsPng(bytes.data(), bytes.size(), maxPictureSide);
        if (png.empty()) {
            show_.warnings.push_back("image " + std::to_string(image) + ": a WebP picture that does not decode (or is over " +
                                     std::to_string(maxPictureSide) + " pixels a side); drawn in the base colour");
        } else {
            std::string stem = imageStem(img, image);
            const std::string name = freeTextureName(stem, ".png");
            show_.textures.push_back({name, png});
            result = int(show_.textures.size()) - 1;
            show_.notes.push_back("image " + std::to_string(image) + ": WebP written as " + name);
        }
    } else if (bytes.empty()) {
        show_.warnings.push_back("image " + std::to_string(image) + (img.uri.empty() ? "" : " (" + img.uri + ")") +
                                 ": cannot be read; drawn in the base colour");
    } else {
        show_.warnings.push_back("image " + std::to_string(image) + ": neither JPEG, PNG nor WebP; drawn in the base colour");
    }
    textureFileOf_[image] = {result, jpeg};
    return result;
}

// NAME_stem.ext, or NAME_stem_2.ext, _3 ... when a texture of this import has that name.
std::string Importer::freeTextureName(const std::string& stem, const char* extension) const
{
    std::string name = stem_ + "_" + stem + extension;
    for (int n = 2;; ++n) {
        bool used = false;
        for (const OutputFile& f : show_.textures)
            used = used || f.name == name;
        if (!used)
            return name;
        name = stem_ + "_" + stem + "_" + std::to_string(n) + extension;
    }
}

std::string Importer::solidTexture(const std::vector<double>& colour, const std::string& stem)
{
    unsigned char rgb[3];
    for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<unsigned char>(std::lround(linearToSrgb(i < int(colour.size()) ? colour[size_t(i)] : 1.0) * 255));
    std::string key(reinterpret_cast<const char*>(rgb), 3);
    auto found = solidOf_.find(key);
    if (found != solidOf_.end())
        return show_.textures[size_t(found->second)].name;
    const std::string name = freeTextureName(stem, ".png");
    show_.textures.push_back({name, solidPng(rgb[0], rgb[1], rgb[2])});
    solidOf_[key] = int(show_.textures.size()) - 1;
    return name;
}

int Importer::materialIndex(int gltfMaterial)
{
    if (gltfMaterial >= 0 && size_t(gltfMaterial) >= model_.materials.size())
        fail("material " + std::to_string(gltfMaterial) + " does not exist");
    auto found = materialOf_.find(gltfMaterial);
    if (found != materialOf_.end())
        return found->second;
    int index = int(materialSource_.size());
    materialSource_.push_back(gltfMaterial);
    materialOf_[gltfMaterial] = index;
    return index;
}

// The --env sphere map written among the show's textures; its file name, empty without one.
std::string Importer::sphereMap()
{
    if (options_.envFile.empty())
        return std::string();
    std::string text;
    if (!readFileBytes(options_.envFile, text))
        text.clear();
    std::vector<unsigned char> bytes(text.begin(), text.end());
    if (!isJpeg(bytes) && !isPng(bytes))
        fail("the sphere map " + options_.envFile + " is not a readable JPEG or PNG file");
    const std::string name = stem_ + "_env" + (isJpeg(bytes) ? ".jpg" : ".png");
    show_.textures.push_back({name, std::string(bytes.begin(), bytes.end())});
    return name;
}

// What the material carries that the player does not draw: the features ignored, each
// gathered under its name for one warning, and unsupported extensions warned of at once.
void Importer::noteUndrawn(const tinygltf::Material& m, const std::string& name,
                           std::map<std::string, std::vector<std::string>>& ignored)
{
    if (m.alphaMode == "MASK")
        ignored["alpha mask"].push_back(name);
    if (m.emissiveTexture.index >= 0 ||
        (m.emissiveFactor.size() == 3 && (m.emissiveFactor[0] > 0 || m.emissiveFactor[1] > 0 || m.emissiveFactor[2] > 0)))
        ignored["emission"].push_back(name);
    if (m.normalTexture.index >= 0)
        ignored["normal map"].push_back(name);
    if (m.occlusionTexture.index >= 0)
        ignored["occlusion map"].push_back(name);
    if (m.pbrMetallicRoughness.metallicRoughnessTexture.index >= 0)
        ignored["metallic-roughness map"].push_back(name);
    for (const auto& ext : m.extensions) {
        if (ext.first == "KHR_materials_emissive_strength")
            continue;
        std::string feature = ext.first.rfind("KHR_materials_", 0) == 0 ? ext.first.substr(14) : ext.first;
        show_.warnings.push_back("material " + quoted(name) + ": " + feature + " is not supported, drawn opaque");
    }
}

void Importer::fillMaterials()
{
    const std::string envName = sphereMap();
    const std::set<int> drawn = drawnMaterials(show_.scene.nodes);
    std::map<std::string, std::vector<std::string>> ignored;
    for (size_t index = 0; index < materialSource_.size(); ++index) {
        const int source = materialSource_[index];
        MaterialSpec spec;
        auto atlas = colourAtlasOf_.find(int(index));
        // A material standing for one with vertex colours is said once, by the one it stands for.
        const bool said = atlas == colourAtlasOf_.end();
        if (colouredFrom_.count(int(index)) && !drawn.count(int(index))) {
            spec.name = source < 0 ? "default"
                                   : playerName(model_.materials[size_t(source)].name, "material" + std::to_string(source),
                                                maxMaterialName);
            show_.scene.materials.push_back(spec);
            continue;
        }
        if (source < 0 && atlas != colourAtlasOf_.end()) {
            spec.name = "default colours";
            spec.maps[SurfaceMapSlot] = {1.0f, atlas->second};
            show_.scene.materials.push_back(spec);
            continue;
        }
        if (source == linesMaterial) {
            spec.name = "lines";
            show_.scene.materials.push_back(spec);
            continue;
        }
        if (source < 0) {
            spec.name = "default";
            spec.maps[SurfaceMapSlot] = {1.0f, solidTexture({1, 1, 1}, "default")};
            show_.scene.materials.push_back(spec);
            continue;
        }
        const tinygltf::Material& m = model_.materials[size_t(source)];
        spec.name = playerName(m.name, "material" + std::to_string(source), maxMaterialName);
        if (const tinygltf::Value* taldrex = taldrexOf(m.extras)) {
            exportedMaps(m, *taldrex, spec);
            show_.scene.materials.push_back(spec);
            continue;
        }
        const auto& pbr = m.pbrMetallicRoughness;
        std::string file;
        if (atlas != colourAtlasOf_.end()) {
            spec.name = playerName(m.name + " colours", "material" + std::to_string(source) + " colours", maxMaterialName);
            file = atlas->second;
        } else if (pbr.baseColorTexture.index >= 0) {
            bool jpeg = false;
            int t = textureFile(pbr.baseColorTexture.index, jpeg);
            if (t >= 0) {
                auto baked = bakedFileOf_.find(materialOf_.at(source));
                file = baked != bakedFileOf_.end() ? baked->second : show_.textures[size_t(t)].name;
            }
        }
        if (file.empty())
            file = solidTexture(pbr.baseColorFactor, fileStem(spec.name));
        double alpha = pbr.baseColorFactor.size() == 4 ? pbr.baseColorFactor[3] : 1.0;
        float amount = 1.0f;
        if (alpha < 1.0 || m.alphaMode == "BLEND") {
            amount = float(alpha < 1.0 ? std::max(alpha, 0.01) : 0.5);
            if (said)
                show_.warnings.push_back("material " + quoted(spec.name) + ": translucent, drawn additively at " +
                                         formatNumber(amount) + " by the player");
        }
        spec.maps[SurfaceMapSlot] = {amount, file};
        if (!envName.empty() && pbr.metallicFactor >= 0.5)
            spec.maps[EnvironmentMapSlot] = {1.0f, envName};
        if (said)
            noteUndrawn(m, spec.name, ignored);
        show_.scene.materials.push_back(spec);
    }
    static const std::map<std::string, std::string> outcome = {{"alpha mask", "drawn opaque"}};
    for (const auto& entry : ignored) {
        std::string who;
        for (const std::string& name : entry.second)
            who += (who.empty() ? "" : ", ") + quoted(name);
        auto found = outcome.find(entry.first);
        show_.warnings.push_back("material " + who + ": " + entry.first + " " +
                                 (found != outcome.end() ? found->second : "ignored"));
    }
}

// A material taldrex-scene export wrote: its maps as the player had them. A map's picture
// is the one the glTF carries, else the map keeps its file name (the player found no
// picture for it either, or it is looked up in the demo folder as before).
void Importer::exportedMaps(const tinygltf::Material& material, const tinygltf::Value& taldrex, MaterialSpec& spec)
{
    auto map = [&](const char* name, int texture, MaterialMapSpec& slot) {
        if (!taldrex.Has(name) || !taldrex.Get(name).IsObject())
            return;
        const tinygltf::Value& extras = taldrex.Get(name);
        const tinygltf::Value& amount = extras.Get("amount");
        slot.amount = amount.IsNumber() ? float(amount.GetNumberAsDouble()) : 1.0f;
        if (extras.Get("file").IsString())
            slot.file = cutUtf8(extras.Get("file").Get<std::string>(), maxMaterialName);
        bool jpeg = false;
        const int file = texture >= 0 ? textureFile(texture, jpeg) : -1;
        if (file >= 0)
            slot.file = show_.textures[size_t(file)].name;
    };
    map("surface", material.pbrMetallicRoughness.baseColorTexture.index, spec.maps[SurfaceMapSlot]);
    const tinygltf::Value& sphere = taldrex.Get("sphereMap");
    map("sphereMap", sphere.IsObject() ? extrasInt(sphere, "texture", -1) : -1, spec.maps[EnvironmentMapSlot]);
}

} // namespace gltf_import

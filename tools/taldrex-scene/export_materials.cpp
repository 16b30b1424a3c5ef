#include "exporter.h"

#include <fstream>
#include <iterator>

namespace gltf_export {

void Exporter::makeMaterials()
{
    for (int i = 0; i < scene_.materials.size(); ++i) {
        const Material& material = *scene_.materials[i];
        const int kind = material.drawnKind();
        tinygltf::Material gltf;
        gltf.name = material.name;
        gltf.pbrMetallicRoughness.metallicFactor = 0.0;
        gltf.pbrMetallicRoughness.roughnessFactor = 1.0;
        if (unlit_)
            makeUnlit(gltf);
        bool jpeg = false;
        if (kind & Material::surfaceKind)
            gltf.pbrMetallicRoughness.baseColorTexture.index = texture(material.maps[Material::surfaceSlot], jpeg);
        const float alpha = material.alpha();
        if (kind != Material::plainKind && alpha < 1.0f) {
            gltf.alphaMode = "BLEND";
            gltf.pbrMetallicRoughness.baseColorFactor[3] = std::max(0.0f, alpha);
            gltf.doubleSided = true;
            translucent_ = true;
        }
        // The maps as the player reads them, for the importer: glTF has no sphere maps,
        // and the kind decides how the player draws (lines for a material with neither).
        tinygltf::Value::Object taldrex;
        taldrex["kind"] = tinygltf::Value(kind);
        if (kind & Material::surfaceKind)
            taldrex["surface"] = mapExtras(material.maps[Material::surfaceSlot], -1);
        if (kind & Material::environmentKind) {
            const MaterialMap& map = material.maps[Material::environmentSlot];
            bool unused = false;
            taldrex["sphereMap"] = mapExtras(map, texture(map, unused));
            sphereMapped_ = true;
        }
        gltf.extras = taldrexExtras(taldrex);
        if (kind == Material::surfaceKind || kind == (Material::surfaceKind | Material::environmentKind))
            textured_ = true;
        materials_.push_back({static_cast<int>(model_.materials.size()), kind, jpeg});
        model_.materials.push_back(gltf);
    }
}

tinygltf::Value Exporter::mapExtras(const MaterialMap& map, int texture)
{
    tinygltf::Value::Object extras;
    extras["file"] = tinygltf::Value(map.mapFile);
    extras["amount"] = tinygltf::Value(double(map.amount));
    if (texture >= 0)
        extras["texture"] = tinygltf::Value(texture);
    return tinygltf::Value(extras);
}

int Exporter::texture(const MaterialMap& map, bool& jpeg)
{
    std::string key, path;
    if (!pictures_.find(map, key, path)) {
        if (!options_.demoFolder.empty())
            summary_.notes.push_back("map \"" + map.mapFile + "\" finds no picture the script lists in " +
                                     options_.demoFolder + "; drawn untextured, as the player draws it");
        return -1;
    }
    // A name with ".png" in it is decoded as PNG, any other as JPEG.
    const bool png = key.find(".png") != std::string::npos;
    auto found = images_.find(key);
    if (found == images_.end()) {
        std::ifstream in(path, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const bool isPng = bytes.size() > 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
        const bool isJpeg = bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
        if ((png && !isPng) || (!png && !isJpeg)) {
            summary_.notes.push_back(path + " is no " + (png ? "PNG" : "JPEG") +
                                     " file: the player draws its surfaces untextured, and so does the glTF");
            images_[key] = -1;
            return -1;
        }
        tinygltf::Image image;
        image.name = key;
        image.mimeType = png ? "image/png" : "image/jpeg";
        image.bufferView = addView(bytes.data(), bytes.size(), 0);
        model_.images.push_back(image);
        tinygltf::Texture texture;
        texture.source = static_cast<int>(model_.images.size()) - 1;
        model_.textures.push_back(texture);
        found = images_.emplace(key, static_cast<int>(model_.textures.size()) - 1).first;
    }
    jpeg = !png;
    return found->second;
}

void Exporter::makeUnlit(tinygltf::Material& material)
{
    material.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
    if (std::find(model_.extensionsUsed.begin(), model_.extensionsUsed.end(), "KHR_materials_unlit") ==
        model_.extensionsUsed.end())
        model_.extensionsUsed.push_back("KHR_materials_unlit");
}

int Exporter::linesMaterial()
{
    if (linesMaterial_ < 0) {
        tinygltf::Material lines;
        lines.name = "lines";
        lines.pbrMetallicRoughness.metallicFactor = 0.0;
        makeUnlit(lines);
        model_.materials.push_back(lines);
        linesMaterial_ = static_cast<int>(model_.materials.size()) - 1;
    }
    return linesMaterial_;
}

} // namespace gltf_export

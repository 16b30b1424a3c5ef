#include "scene/material.h"

#include "common/ascii_case.h"

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string MaterialMap::textureName() const
{
    size_t slash = mapFile.rfind('\\');
    std::string base = slash == std::string::npos ? mapFile : mapFile.substr(slash + 1);
    LowerCaseInPlace(base);
    replaceAll(base, ".bmp", ".jpg");
    return base;
}

std::string MaterialMap::fallbackTextureName() const
{
    std::string name = textureName();
    replaceAll(name, ".jpg", ".png");
    return name;
}

TextureLookup RegistryTextureLookup(const Registry<uint32_t>& registry)
{
    return [&registry](const std::string& name) { return registry.find(name); };
}

TextureLookup RegistryTextureLookup(const Registry<TextureHandle>& registry)
{
    return [&registry](const std::string& name) -> const uint32_t* {
        const TextureHandle* texture = registry.find(name);
        return texture ? texture->name() : nullptr;
    };
}

std::array<std::string, 2> MapTextureKeys(const MaterialMap& map)
{
    return {map.textureName(), map.fallbackTextureName()};
}

const uint32_t* MaterialMap::findMapTexture(const TextureLookup& textures) const
{
    if (!textures)
        return nullptr;
    for (const std::string& key : MapTextureKeys(*this))
        if (const uint32_t* texture = textures(key))
            return texture;
    return nullptr;
}

int32_t MaterialMap::lookupMapTexture(const TextureLookup& textures) const
{
    const uint32_t* texture = findMapTexture(textures);
    return texture ? static_cast<int32_t>(*texture) : 0;
}

void Material::setMap(int slot, const std::string& mapFile, float amount)
{
    maps[slot].mapFile = mapFile;
    maps[slot].amount = amount;
}

int32_t Material::renderModeKind() const
{
    int32_t kind = drawnKind();
    if (maps[undrawableSlot].present())
        kind = (kind == plainKind ? 0 : kind) + undrawableKind;
    return kind;
}

int32_t Material::drawnKind() const
{
    int32_t kind = 0;
    if (maps[surfaceSlot].present())
        kind += surfaceKind;
    if (maps[environmentSlot].present())
        kind += environmentKind;
    return kind == 0 ? plainKind : kind;
}

float Material::alpha() const
{
    if (maps[surfaceSlot].present())
        return maps[surfaceSlot].amount;
    if (maps[environmentSlot].present())
        return maps[environmentSlot].amount;
    return 1.0f;
}

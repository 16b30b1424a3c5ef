// Material: a scene material's eleven texture map slots and the render mode they choose.
#pragma once

#include "common/registry.h"
#include "graph/player_facts.h"
#include "image/texture.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

// Material and map file names are read into 300-byte buffers.
constexpr int materialNameBufferBytes = 300;

// What a scene being loaded may draw with: the entry of the texture registered under a
// texture name, holding its OpenGL name, or null when none is. An entry stays where it is
// until the scene is uploaded, which reads the name from it again (a texture may be made
// after the scenes are read). An empty lookup finds none (the scene draws untextured).
using TextureLookup = std::function<const uint32_t*(const std::string& name)>;

// A lookup over registry as it stands at each call; registry must outlive the lookup.
TextureLookup RegistryTextureLookup(const Registry<uint32_t>& registry);
// The same for a registry that owns its textures.
TextureLookup RegistryTextureLookup(const Registry<TextureHandle>& registry);

// One texture map slot; present only when its amount is greater than 0.
struct MaterialMap {
    std::string mapFile; // as stored in the file: any folder path, any letter case
    float amount = 0.0f;

    bool present() const { return amount > 0.0f; }
    // The name the slot's texture is registered under: the part after the last backslash,
    // lower-cased, with ".bmp" read as ".jpg".
    std::string textureName() const;
    // The second name tried when the first is not registered: ".jpg" read as ".png".
    std::string fallbackTextureName() const;
    // The entry textures finds under the first of MapTextureKeys it has; null when it has
    // neither.
    const uint32_t* findMapTexture(const TextureLookup& textures) const;
    // The OpenGL texture in that entry; 0 (no texture) when there is none.
    int32_t lookupMapTexture(const TextureLookup& textures) const;
};

// The texture keys a map is found under, in the order the show tries them: textureName(),
// then fallbackTextureName().
std::array<std::string, 2> MapTextureKeys(const MaterialMap& map);

class Material {
public:
    static constexpr int mapCount = MaterialMapCount;
    static constexpr int surfaceSlot = SurfaceMapSlot;
    static constexpr int undrawableSlot = UndrawableMapSlot;
    static constexpr int environmentSlot = EnvironmentMapSlot;

    // Render-mode kinds: the sum of the flags of the present slots, or plain when none is.
    static constexpr int32_t plainKind = 1;
    static constexpr int32_t surfaceKind = 8;
    static constexpr int32_t environmentKind = 16;
    static constexpr int32_t undrawableKind = 64;

    explicit Material(std::string name_) : name(std::move(name_)) {}

    // Fills slot `slot` (0 to 10) with a file name and amount.
    void setMap(int slot, const std::string& mapFile, float amount);

    // 8 for a surface texture, +16 for an environment texture, +64 for the undrawable slot;
    // 1 when none of the three is present.
    int32_t renderModeKind() const;
    // The kind the material is drawn with: its own, with the undrawable slot ignored
    // (a material asking for it is drawn as if the slot were absent).
    int32_t drawnKind() const;
    // The surface alpha: the surface slot's amount, else the environment slot's, else 1
    // (values below 1 make the surface translucent).
    float alpha() const;

    std::string name;
    MaterialMap maps[mapCount];
};

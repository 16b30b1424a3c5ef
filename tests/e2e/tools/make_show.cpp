// Writes the small show the end-to-end tests play: a blue background, a green square
// scene and an overlay with a red corner, in two parts ending at 1500 and 3000 ms.
// With "flash" after the folder: one part of 4000 ms, black until a white square appears
// in the middle at part time 60 (2.000 s), for the tests that match picture and sound.
// With "reload": the square without overlay, in a first part of 2000 ms on black and a
// second of ten minutes on the blue background, with a red picture listed as well and the
// square's scene in both colours under versions/ (green.scn, red.scn) for the live reload
// test to copy over data/square.scn.
// With "cameras": the small show's pictures and a square scene seen by three cameras,
// "front", "side" and "top" in that node order, each with its target, in three parts ending
// at 2250, 4000 and 6000 ms, for the tests that edit a show's parts.
#include "canvas.h"
#include "image_files.h"
#include "scene_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

Canvas solid(int width, int height, Colour colour)
{
    Canvas canvas(width, height);
    canvas.fill([&](float, float) { return colour; });
    return canvas;
}

// A 6 x 6 square in the x-z plane facing the camera from both sides.
NodeSpec square()
{
    NodeSpec mesh = makeNode(NodeType::Mesh, "square");
    mesh.vertices = {{-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}};
    auto face = [](int a, int b, int c) {
        FaceSpec f;
        f.corners[0] = {a, 0, 0};
        f.corners[1] = {b, 1, 0};
        f.corners[2] = {c, 1, 1};
        return f;
    };
    mesh.faces = {face(0, 1, 2), face(0, 2, 3), face(2, 1, 0), face(3, 2, 0)};
    mesh.groups = {{0, {0, 1, 2, 3}}};
    return mesh;
}

} // namespace

// The square, textured by texture, seen by its camera "eye".
SceneSpec squareScene(const std::string& texture)
{
    SceneSpec scene;
    scene.nodes.push_back(square());
    scene.nodes.push_back(makeNode(NodeType::Camera, "eye", Vector3(0, -10, 0)));
    scene.nodes.push_back(makeNode(NodeType::Target, "eye"));
    MaterialSpec material;
    material.name = "paint";
    material.maps[1] = {1.0f, texture};
    scene.materials.push_back(material);
    return scene;
}

int makeReloadShow(const std::string& dir)
{
    std::filesystem::create_directories(dir + "/versions");
    std::string error;
    const bool ok = writeJpeg(dir + "/data/blue.jpg", solid(64, 36, Colour{0.0f, 0.0f, 1.0f}), 95, error) &&
        writeJpeg(dir + "/data/green.jpg", solid(16, 16, Colour{0.0f, 1.0f, 0.0f}), 95, error) &&
        writeJpeg(dir + "/data/red.jpg", solid(16, 16, Colour{1.0f, 0.0f, 0.0f}), 95, error) &&
        saveScene(squareScene("green.jpg"), dir + "/data/square.scn") &&
        saveScene(squareScene("green.jpg"), dir + "/versions/green.scn") &&
        saveScene(squareScene("red.jpg"), dir + "/versions/red.scn");
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.empty() ? "cannot write the scenes" : error.c_str());
        return 1;
    }
    std::ofstream(dir + "/script.txt")
        << "[textures]\nblue.jpg\ngreen.jpg\nred.jpg\n\n[scenes]\nsquare.scn\n\n"
           "[part]\nsquare.scn\n2000\neye\nstandard\nstandard\n"
           "[part]\nsquare.scn\n600000\neye\nblue.jpg\nstandard\n";
    return 0;
}

int makeCamerasShow(const std::string& dir)
{
    std::filesystem::create_directories(dir + "/data");
    SceneSpec scene = squareScene("green.jpg");
    scene.nodes.resize(1);
    const struct {
        const char* name;
        Vector3 at;
    } cameras[] = {{"front", Vector3(0, -10, 0)}, {"side", Vector3(10, -1, 0)}, {"top", Vector3(0, -1, 10)}};
    for (const auto& camera : cameras) {
        scene.nodes.push_back(makeNode(NodeType::Camera, camera.name, camera.at));
        scene.nodes.push_back(makeNode(NodeType::Target, camera.name));
    }
    std::string error;
    const bool ok = writeJpeg(dir + "/data/blue.jpg", solid(64, 36, Colour{0.0f, 0.0f, 1.0f}), 95, error) &&
        writeJpeg(dir + "/data/green.jpg", solid(16, 16, Colour{0.0f, 1.0f, 0.0f}), 95, error) &&
        writePng(dir + "/data/corner.png", solid(64, 36, Colour{1.0f, 0.0f, 0.0f}), true, error) &&
        saveScene(scene, dir + "/data/square.scn");
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.empty() ? "cannot write the scene" : error.c_str());
        return 1;
    }
    std::ofstream(dir + "/script.txt")
        << "[textures]\nblue.jpg\ngreen.jpg\ncorner.png\n\n[scenes]\nsquare.scn\n\n"
           "[part]\nsquare.scn\n2250\nfront\nblue.jpg\nstandard\n\n"
           "[part]\nsquare.scn\n4000\nside\nstandard\nstandard\n\n"
           "[part]\nsquare.scn\n6000\ntop\nblue.jpg\ncorner.png\n";
    return 0;
}

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[2] : "";
    const bool flash = mode == "flash";
    if (argc != 2 && !flash && mode != "reload" && mode != "cameras") {
        std::fprintf(stderr, "usage: %s OUTDIR [flash|reload|cameras]\n", argv[0]);
        return 2;
    }
    if (mode == "cameras")
        return makeCamerasShow(argv[1]);
    if (mode == "reload") {
        std::filesystem::create_directories(std::string(argv[1]) + "/data");
        return makeReloadShow(argv[1]);
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir + "/data");
    std::string error;

    bool ok = writeJpeg(dir + "/data/blue.jpg", solid(64, 36, Colour{0.0f, 0.0f, 1.0f}), 95, error) &&
        writeJpeg(dir + "/data/green.jpg", solid(16, 16, Colour{0.0f, 1.0f, 0.0f}), 95, error);
    Canvas overlay(64, 36);
    for (int y = 0; y < 18; ++y)
        for (int x = 48; x < 64; ++x)
            overlay.blend(x, y, Colour{1.0f, 0.0f, 0.0f}, 1.0f);
    ok = ok && writePng(dir + "/data/corner.png", overlay, true, error);

    SceneSpec scene;
    scene.nodes.push_back(square());
    if (flash) {
        // Hidden at frame 0, shown from frame 60 on.
        scene.nodes.back().visibility = {0, 60};
        ok = ok && writeJpeg(dir + "/data/white.jpg", solid(16, 16, Colour{1.0f, 1.0f, 1.0f}), 95, error);
    }
    // A camera links the target of its own name among its siblings.
    scene.nodes.push_back(makeNode(NodeType::Camera, "eye", Vector3(0, -10, 0)));
    scene.nodes.push_back(makeNode(NodeType::Target, "eye"));
    MaterialSpec green;
    green.name = "green";
    green.maps[1] = {1.0f, flash ? "White.JPG" : "Green.JPG"};
    scene.materials.push_back(green);
    ok = ok && saveScene(scene, dir + "/data/square.scn");
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.empty() ? "cannot write the scene" : error.c_str());
        return 1;
    }

    if (flash) {
        std::ofstream(dir + "/script.txt")
            << "[mp3]\nclick.mp3\n\n[textures]\nwhite.jpg\n\n[scenes]\nsquare.scn\n\n"
               "[part]\nsquare.scn\n4000\neye\nstandard\nstandard\n";
        return 0;
    }
    std::ofstream(dir + "/script.txt")
        << "[textures]\nblue.jpg\ngreen.jpg\ncorner.png\n\n[scenes]\nsquare.scn\n\n"
           "[part]\nsquare.scn\n1500\neye\nblue.jpg\ncorner.png\n"
           "[part]\nsquare.scn\n3000\neye\nblue.jpg\ncorner.png\n";
    return 0;
}

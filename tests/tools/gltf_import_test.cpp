// taldrex-scene import: real sample models become demo folders the player reads whole and
// the checker passes; broken models write nothing; the script keeps its other lines.
#include "gltf_files.h"
#include "gltf_import.h"
#include "show_files.h"

#include "demo/check.h"
#include "image/png_decoder.h"
#include "scene/scene.h"

#include <gtest/gtest.h>
#include <webp/encode.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string samples = TALDREX_SHARED_TESTDATA "/gltf/";

struct ImportRun {
    int status = -1;
    std::string out, err;
};

std::string readAll(std::FILE* f)
{
    std::string text;
    std::rewind(f);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

ImportRun runImportOf(const std::string& model, const std::string& dir, const ImportOptions& options = {}, bool dryRun = false)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ImportRun run;
    run.status = runImport(model, dir, options, dryRun, out, err);
    run.out = readAll(out);
    run.err = readAll(err);
    return run;
}

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "gltf-import-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path + "/" + name, std::ios::binary) << bytes;
        return path + "/" + name;
    }
    std::string path;
};

std::vector<CheckProblem> checkFolder(const std::string& dir)
{
    DataFolder folder;
    std::string problem;
    if (!folder.open(dir, true, problem))
        return {{dir, problem}};
    return CheckDemoFolder(folder);
}

size_t countFiles(const std::string& dir)
{
    size_t n = 0;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it)
        n += it->is_regular_file() ? 1 : 0;
    return n;
}

struct Expected {
    const char* file;
    int triangles;
    int textures;
    int animatedTracks;
    std::vector<std::string> warnings; // a text each warning line holds, in order
};

const std::vector<Expected> models = {
    {"AnimatedTriangle.gltf", 1, 1, 1, {}},
    {"BoxAnimated.gltf", 254, 2, 2, {}},
    {"BoxTextured.gltf", 12, 1, 0, {}},
    {"MultipleScenes.gltf", 2, 1, 0, {}},
    {"RiggedSimple.gltf", 188, 1, 4, {"skin baked into"}},
    {"SimpleMorph.gltf", 1, 1, 1, {}},
    {"SimpleSkin.gltf", 8, 1, 2, {"skin baked into"}},
    // Double-sided: each face is written again turned round. Four tints of one picture.
    {"TextureCoordinateTest.gltf", 20, 5, 0, {}},
};

TEST(GltfImport, EverySampleModelBecomesAFolderThePlayerReadsWholeAndTheCheckerPasses)
{
    TempFolder all;
    for (const Expected& model : models) {
        SCOPED_TRACE(model.file);
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfFile(samples + model.file, {}, show, error)) << error;
        EXPECT_EQ(show.triangles, model.triangles);
        EXPECT_EQ(show.textures.size(), size_t(model.textures));
        EXPECT_EQ(show.tracks.size(), size_t(model.animatedTracks));
        ASSERT_EQ(show.warnings.size(), model.warnings.size());
        for (size_t i = 0; i < model.warnings.size(); ++i)
            EXPECT_NE(show.warnings[i].find(model.warnings[i]), std::string::npos) << show.warnings[i];
        for (const TrackReport& track : show.tracks)
            EXPECT_LE(track.largest, track.tolerance) << track.node << " " << track.property;

        TempFolder one;
        // The demo folder and the folders above it are made when missing.
        ImportRun run = runImportOf(samples + model.file, one.path + "/shows/one");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find("triangles " + std::to_string(model.triangles)), std::string::npos) << run.out;
        for (const std::string& w : model.warnings)
            EXPECT_NE(run.out.find("warning: " + samples + model.file), std::string::npos) << w;
        Scene scene;
        ASSERT_EQ(scene.loadFile((one.path + "/shows/one/data/" + show.sceneFile).c_str()), 0);
        EXPECT_FALSE(scene.reader->failed());
        ASSERT_NE(scene.camera, nullptr);
        for (const CheckProblem& p : checkFolder(one.path + "/shows/one"))
            ADD_FAILURE() << p.file << ": " << p.problem;
        ASSERT_EQ(runImportOf(samples + model.file, all.path).status, 0);
    }
    // All of them in one folder, one after another: the script grows, the checker still passes.
    for (const CheckProblem& p : checkFolder(all.path))
        ADD_FAILURE() << p.file << ": " << p.problem;
}

TEST(GltfImport, MultipleScenesTakesTheDefaultSceneOrTheOneAsked)
{
    ImportedShow byDefault, first;
    std::string error;
    ASSERT_TRUE(importGltfFile(samples + "MultipleScenes.gltf", {}, byDefault, error)) << error;
    ImportOptions options;
    options.scene = 0;
    ASSERT_TRUE(importGltfFile(samples + "MultipleScenes.gltf", options, first, error)) << error;
    EXPECT_NE(byDefault.triangles, first.triangles);
    options.scene = 7;
    EXPECT_FALSE(importGltfFile(samples + "MultipleScenes.gltf", options, first, error));
    EXPECT_NE(error.find("no scene 7"), std::string::npos) << error;
}

TEST(GltfImport, DryRunWritesNothing)
{
    TempFolder dir;
    ImportRun run = runImportOf(samples + "BoxTextured.gltf", dir.path + "/show", {}, true);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("would write"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path + "/show"));
}

// A file that cannot be written or put in place is named with the reason it failed, the
// script stays as it was and no temporary file is left behind.
TEST(GltfImport, AFileThatCannotBeWrittenIsReportedWithItsOwnReason)
{
    const struct {
        const char* blocked; // made a folder holding one file, so it can be neither written nor removed
        const char* named;
    } cases[] = {
        {"data/boxtextured.scn.importing", "data/boxtextured.scn.importing"},
        {"data/boxtextured.scn", "data/boxtextured.scn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        TempFolder dir;
        const std::string show = dir.path + "/show";
        fs::create_directories(show + "/" + c.blocked);
        std::ofstream(show + "/" + c.blocked + "/keep") << "x";
        std::ofstream(show + "/script.txt") << "[scenes]\n";
        ImportRun run = runImportOf(samples + "BoxTextured.gltf", show);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "taldrex-scene: " + show + "/" + c.named + ": cannot be written (" +
                               std::strerror(EISDIR) + ")\n");
        std::ifstream script(show + "/script.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(script), {}), "[scenes]\n");
        for (const auto& entry : fs::directory_iterator(show + "/data"))
            EXPECT_FALSE(entry.is_regular_file() && entry.path().extension() == ".importing") << entry.path();
    }
}

// Each broken model is refused with its file named, and the folder stays as it was.
TEST(GltfImport, BrokenModelsAreRefusedWithTheFileNamedAndNothingWritten)
{
    std::map<std::string, std::string> broken;
    GltfText good = triangleModel();
    std::string glb = good.glb();
    broken["truncated.glb"] = glb.substr(0, glb.size() / 2);
    broken["notgltf.gltf"] = "{\"hello\": [1, 2, 3]}";
    broken["notjson.gltf"] = "this is not JSON";
    broken["empty.gltf"] = "";
    {
        GltfText g = triangleModel();
        g.accessors_[0].replace(g.accessors_[0].find("\"count\":3"), 9, "\"count\":3000");
        broken["pastbuffer.gltf"] = g.text();
    }
    {
        GltfText g;
        g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        g.indices({0, 1, 7});
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}");
        g.nodes.push_back("{\"mesh\":0}");
        broken["badindex.gltf"] = g.text();
    }
    {
        GltfText g;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        g.floats({0, 0, 0, nan, 0, 0, 0, 1, 0}, "VEC3");
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}");
        g.nodes.push_back("{\"mesh\":0}");
        broken["nan.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.nodes[0] = "{\"mesh\":0,\"children\":[1]}";
        for (int i = 1; i < 1000000; ++i)
            g.nodes.push_back(i + 1 < 1000000 ? "{\"children\":[" + std::to_string(i + 1) + "]}" : "{}");
        broken["chain.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.bufferUri = "data:application/octet-stream;base64,%%%% not base64 %%%%";
        broken["badbase64.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.extra.push_back("\"extensionsRequired\":[\"KHR_draco_mesh_compression\"]");
        g.extra.push_back("\"extensionsUsed\":[\"KHR_draco_mesh_compression\"]");
        broken["draco.gltf"] = g.text();
    }
    {
        GltfText g;
        g.nodes.push_back("{\"name\":\"empty\"}");
        broken["nogeometry.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.nodes[0] = "{\"mesh\":0,\"children\":[0]}";
        broken["cycle.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.nodes[0] = "{\"mesh\":0,\"translation\":[1e400,0,0]}";
        broken["infinite.gltf"] = g.text();
    }
    {
        GltfText g = triangleModel();
        g.extra.push_back("\"extras\":" + std::string(200000, '[') + std::string(200000, ']'));
        broken["deep.gltf"] = g.text();
        broken["deep.glb"] = g.glb();
    }
    for (const auto& entry : broken) {
        SCOPED_TRACE(entry.first);
        TempFolder dir;
        const std::string model = dir.write(entry.first, entry.second);
        fs::create_directory(dir.path + "/show");
        ImportRun run = runImportOf(model, dir.path + "/show");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("taldrex-scene: " + model + ": ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("nothing written"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(countFiles(dir.path + "/show"), 0u);
    }
}

TEST(GltfImport, GlbAndExternalBuffersImportLikeEmbeddedOnes)
{
    TempFolder dir;
    GltfText g = triangleModel();
    const std::string glb = dir.write("tri.glb", g.glb());
    dir.write("tri.bin", g.bin_);
    GltfText external = triangleModel();
    external.bufferUri = "tri.bin";
    const std::string gltf = dir.write("external.gltf", external.text());
    for (const std::string& model : {glb, gltf}) {
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfFile(model, {}, show, error)) << model << ": " << error;
        EXPECT_EQ(show.triangles, 1);
    }
    // A buffer named by a FIFO is refused at once rather than waited for.
    ASSERT_EQ(mkfifo((dir.path + "/pipe.bin").c_str(), 0600), 0);
    external.bufferUri = "pipe.bin";
    ImportedShow show;
    std::string error;
    EXPECT_FALSE(importGltfFile(dir.write("pipe.gltf", external.text()), {}, show, error));
    EXPECT_NE(error.find("pipe.bin"), std::string::npos) << error;
}

TEST(GltfImport, TextureCoordinatesFollowTheWayEachFormatIsUploaded)
{
    // A quad whose corner at v = 0 is the top of the picture: JPEG rows go up bottom first,
    // so t = 1 - v; PNG rows top first, so t = v.
    for (bool jpeg : {true, false}) {
        SCOPED_TRACE(jpeg ? "JPEG" : "PNG");
        GltfText g;
        g.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
        g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
        g.indices({0, 1, 2, 0, 2, 3});
        std::string picture = jpeg ? std::string("\xFF\xD8\xFF\xE0 picture", 12) : std::string("\x89PNG\r\n\x1A\n picture", 16);
        g.extra.push_back("\"images\":[{\"name\":\"Face\",\"uri\":\"data:image/" + std::string(jpeg ? "jpeg" : "png") +
                          ";base64," + GltfText::base64(picture) + "\"}]");
        g.extra.push_back("\"textures\":[{\"source\":0}]");
        g.materials.push_back("{\"name\":\"Face\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}");
        g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":1},\"indices\":2,\"material\":0}]}");
        g.nodes.push_back("{\"mesh\":0}");
        TempFolder dir;
        ImportedShow show;
        std::string error;
        ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(g.text().data()), g.text().size(), dir.path,
                                     "quad.gltf", {}, show, error)) << error;
        ASSERT_EQ(show.textures.size(), 1u);
        EXPECT_EQ(show.textures[0].name, jpeg ? "quad_face.jpg" : "quad_face.png");
        EXPECT_EQ(show.textures[0].bytes, picture);
        const NodeSpec* mesh = nullptr;
        for (const NodeSpec& node : show.scene.nodes)
            if (node.type == NodeType::Mesh)
                mesh = &node;
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->faces.size(), 2u);
        for (const FaceSpec& face : mesh->faces)
            for (const CornerSpec& c : face.corners) {
                // Vertices 2 and 3 sit at the top of the model (y = 1) and at v = 0.
                bool top = c.vertex >= 2;
                EXPECT_FLOAT_EQ(c.t, jpeg == top ? 1.0f : 0.0f) << c.vertex;
            }
        ASSERT_EQ(show.scene.materials.size(), 1u);
        EXPECT_EQ(show.scene.materials[0].maps[1].file, show.textures[0].name);
        EXPECT_EQ(show.scene.materials[0].maps[1].amount, 1.0f);
    }
}

TEST(GltfImport, WebpPicturesBecomePngTexturesTheRightWayUp)
{
    // Red above blue, 8 x 8, as the only picture of the texture.
    std::vector<uint8_t> rgba(8 * 8 * 4, 255);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint8_t* p = &rgba[size_t((y * 8 + x) * 4)];
            p[0] = y < 4 ? 255 : 0;
            p[1] = 0;
            p[2] = y < 4 ? 0 : 255;
        }
    uint8_t* encoded = nullptr;
    size_t size = WebPEncodeLosslessRGBA(rgba.data(), 8, 8, 32, &encoded);
    ASSERT_GT(size, 0u);
    const std::string webp(reinterpret_cast<const char*>(encoded), size);
    WebPFree(encoded);
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
    g.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
    g.indices({0, 1, 2, 0, 2, 3});
    g.extra.push_back("\"extensionsUsed\":[\"EXT_texture_webp\"],\"extensionsRequired\":[\"EXT_texture_webp\"]");
    g.extra.push_back("\"images\":[{\"name\":\"Sky\",\"uri\":\"sky.webp\"}]");
    g.extra.push_back("\"textures\":[{\"extensions\":{\"EXT_texture_webp\":{\"source\":0}}}]");
    g.materials.push_back("{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}");
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":1},\"indices\":2,\"material\":0}]}");
    g.nodes.push_back("{\"mesh\":0}");
    TempFolder dir;
    dir.write("sky.webp", webp);
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfFile(dir.write("quad.gltf", g.text()), {}, show, error)) << error;
    ASSERT_EQ(show.textures.size(), 1u);
    ASSERT_EQ(show.textures[0].name, "quad_sky.png");
    DecodedImage picture = DecodePng(dir.write("out.png", show.textures[0].bytes));
    ASSERT_EQ(picture.width, 8);
    EXPECT_EQ(picture.pixels[0], 255);                 // top left red
    EXPECT_EQ(picture.pixels[size_t(7 * 8 * 4 + 2)], 255); // bottom left blue
    // A PNG goes up top row first: the corner at v = 0 (the picture's top) gets t = 0.
    for (const NodeSpec& node : show.scene.nodes)
        for (const FaceSpec& face : node.faces)
            for (const CornerSpec& c : face.corners)
                EXPECT_FLOAT_EQ(c.t, c.vertex >= 2 ? 0.0f : 1.0f);
}

TEST(GltfImport, ScriptGetsTexturesBeforeTheSceneAndOnePartPerCameraKeepingItsOtherLines)
{
    const std::string before = "My show\r\n[mp3]\r\nsong.mp3\r\n\r\n[textures]\r\nlogo.jpg\r\n\r\n[scenes]\r\nintro.scn\r\n\r\n"
                               "[part]\r\nintro.scn\r\n5000\r\ncam\r\nstandard\r\nstandard\r\n";
    std::string after = updateScript(before, {"box_a.png", "logo.jpg"}, "box.scn", {"front", "side"}, 2000);
    EXPECT_EQ(after, "My show\r\n[mp3]\r\nsong.mp3\r\n\r\n[textures]\r\nlogo.jpg\r\nbox_a.png\r\n\r\n[scenes]\r\nintro.scn\r\n"
                     "box.scn\r\n\r\n[part]\r\nintro.scn\r\n5000\r\ncam\r\nstandard\r\nstandard\r\n\r\n"
                     "[part]\r\nbox.scn\r\n7000\r\nfront\r\nstandard\r\nstandard\r\n\r\n"
                     "[part]\r\nbox.scn\r\n9000\r\nside\r\nstandard\r\nstandard\r\n\r\n");
    // Importing again changes nothing.
    EXPECT_EQ(updateScript(after, {"box_a.png", "logo.jpg"}, "box.scn", {"front", "side"}, 2000), after);

    // A texture list after the scene list is no use to the scene: a new one goes before it.
    std::string late = updateScript("[scenes]\nold.scn\n\n[textures]\nx.png\n", {"box_a.png"}, "box.scn", {"camera"}, 10000);
    EXPECT_EQ(late, "[textures]\nbox_a.png\n\n[scenes]\nold.scn\nbox.scn\n\n[textures]\nx.png\n\n"
                    "[part]\nbox.scn\n10000\ncamera\nstandard\nstandard\n\n");
    EXPECT_EQ(updateScript("", {"a.png"}, "s.scn", {"camera"}, 10000),
              "[textures]\na.png\n\n[scenes]\ns.scn\n\n[part]\ns.scn\n10000\ncamera\nstandard\nstandard\n\n");
}

// Where the lines go when a script ends without its line feed, lists an entry in another
// letter case, or lists the scene without showing it.
TEST(GltfImport, ScriptLinesAreAddedOnlyWhereMissingAndEndAsTheScriptDoes)
{
    const struct {
        const char* script;
        std::vector<std::string> textures;
        std::vector<std::string> cameras;
        const char* expected;
    } cases[] = {
        {"[scenes]\nbox.scn", {}, {}, "[scenes]\nbox.scn"},
        {"[scenes]\nold.scn", {}, {}, "[scenes]\nold.scn\nbox.scn\n"},
        {"[scenes]\nbox.scn\n", {}, {"camera"}, "[scenes]\nbox.scn\n\n[part]\nbox.scn\n1000\ncamera\nstandard\nstandard\n\n"},
        {"[textures]\r\nA.PNG\r\n", {"a.png"}, {}, "[textures]\r\nA.PNG\r\n\r\n[scenes]\r\nbox.scn\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(updateScript(c.script, c.textures, "box.scn", c.cameras, 1000), c.expected);
    }
}

TEST(GltfImport, MaterialsKeepWhatThePlayerDrawsAndNameWhatItCannot)
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
    g.floats({0, 0, 1, 0, 1, 1, 0, 1}, "VEC2");
    g.indices({0, 1, 2});
    g.indices({0, 2, 3});
    std::string png("\x89PNG\r\n\x1A\n picture", 16);
    g.extra.push_back("\"images\":[{\"uri\":\"data:image/png;base64," + GltfText::base64(png) + "\"}]");
    g.extra.push_back("\"textures\":[{\"source\":0}]");
    // A shiny textured material with a texture transform, and a translucent masked one.
    g.materials.push_back("{\"name\":\"Shiny\",\"pbrMetallicRoughness\":{\"metallicFactor\":1,\"baseColorTexture\":{\"index\":0,"
                          "\"extensions\":{\"KHR_texture_transform\":{\"offset\":[0.5,0],\"scale\":[2,0.5],\"rotation\":1.5707963}}}},"
                          "\"normalTexture\":{\"index\":0},\"extensions\":{\"KHR_materials_transmission\":{}}}");
    g.materials.push_back("{\"name\":\"Glass\",\"alphaMode\":\"MASK\",\"emissiveFactor\":[1,0,0],"
                          "\"pbrMetallicRoughness\":{\"metallicFactor\":0,\"baseColorFactor\":[0.5,0.5,0.5,0.25]}}");
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":1},\"indices\":2,\"material\":0},"
                       "{\"attributes\":{\"POSITION\":0},\"indices\":3,\"material\":1}]}");
    g.nodes.push_back("{\"mesh\":0}");
    TempFolder dir;
    const std::string env = dir.write("sky.png", png);
    ImportOptions options;
    options.envFile = env;
    ImportedShow show;
    std::string error;
    const std::string text = g.text();
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), dir.path, "m.gltf",
                                 options, show, error)) << error;
    ASSERT_EQ(show.scene.materials.size(), 2u);
    const MaterialSpec& shiny = show.scene.materials[0];
    const MaterialSpec& glass = show.scene.materials[1];
    EXPECT_EQ(shiny.maps[1].file, "m_image0.png");
    EXPECT_EQ(shiny.maps[9].file, "m_env.png");
    EXPECT_EQ(shiny.maps[9].amount, 1.0f);
    EXPECT_EQ(glass.maps[9].amount, 0.0f);
    EXPECT_FLOAT_EQ(glass.maps[1].amount, 0.25f);
    ASSERT_NE(glass.maps[1].file, "");
    // The base colour as a PNG of its own: 0.5 linear is 188 in sRGB.
    std::string solid;
    for (const OutputFile& t : show.textures)
        if (t.name == glass.maps[1].file)
            solid = t.bytes;
    EXPECT_EQ(solid.substr(0, 4), "\x89PNG");

    // Offset (0.5, 0), a quarter turn, then scale (2, 0.5): (u, v) -> (0.5 + 0.5 v, -2 u).
    const NodeSpec* mesh = nullptr;
    for (const NodeSpec& node : show.scene.nodes)
        if (node.type == NodeType::Mesh)
            mesh = &node;
    ASSERT_NE(mesh, nullptr);
    const CornerSpec& c = mesh->faces[0].corners[1]; // vertex 1 at (u, v) = (1, 0)
    EXPECT_EQ(c.vertex, 1);
    EXPECT_NEAR(c.s, 0.5, 1e-5);
    EXPECT_NEAR(c.t, -2.0, 1e-5);

    std::string all;
    for (const std::string& w : show.warnings)
        all += w + "\n";
    for (const char* expected : {"\"shiny\": transmission is not supported", "\"glass\": translucent, drawn additively at 0.25",
                                 "material \"shiny\": normal map ignored", "material \"glass\": emission ignored",
                                 "material \"glass\": alpha mask drawn opaque"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << " in\n" << all;
}

TEST(GltfImport, AnimationsAreChosenByNameOrAllPlayInTurn)
{
    GltfText g = triangleModel();
    int shortTimes = g.floats({0, 1}, "SCALAR");
    int longTimes = g.floats({0, 2}, "SCALAR");
    int moves = g.floats({0, 0, 0, 1, 0, 0}, "VEC3");
    for (auto [name, times] : {std::pair<const char*, int>{"short", shortTimes}, {"long", longTimes}})
        g.animations.push_back(std::string("{\"name\":\"") + name + "\",\"samplers\":[{\"input\":" + std::to_string(times) +
                               ",\"output\":" + std::to_string(moves) +
                               "}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"translation\"}}]}");
    const std::string text = g.text();
    auto framesOf = [&](const std::string& animation) {
        ImportOptions options;
        options.animation = animation;
        ImportedShow show;
        std::string error;
        if (!importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "a.gltf", options, show,
                              error))
            return -1;
        return show.frames;
    };
    EXPECT_EQ(framesOf(""), 31);
    EXPECT_EQ(framesOf("long"), 61);
    EXPECT_EQ(framesOf("all"), 92);
    EXPECT_EQ(framesOf("missing"), -1);
}

TEST(GltfImport, SparseAccessorsReplaceTheirElementsAndAxesTurnToZUp)
{
    // Accessor 0 (the positions) gets element `at` replaced by (0, 5, 0).
    auto sparseModel = [](uint16_t at) {
        GltfText g = triangleModel();
        int index = g.indices({at});
        int value = g.floats({0, 5, 0}, "VEC3");
        g.accessors_[0].pop_back();
        g.accessors_[0] += ",\"sparse\":{\"count\":1,\"indices\":{\"bufferView\":" + std::to_string(index) +
                           ",\"componentType\":5123},\"values\":{\"bufferView\":" + std::to_string(value) + "}}}";
        g.nodes[0] = "{\"name\":\"Tri\",\"mesh\":0,\"translation\":[1,2,3]}";
        return g.text();
    };
    const std::string text = sparseModel(2);
    ImportedShow show;
    std::string error;
    ImportOptions kept; // the size kept, as the positions are given
    kept.scale = 1;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "s.gltf", kept, show,
                                 error)) << error;
    const NodeSpec* mesh = nullptr;
    for (const NodeSpec& node : show.scene.nodes)
        if (node.name == "tri")
            mesh = &node;
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->vertices.size(), 3u);
    // glTF (x, y, z) is the player's (x, -z, y).
    EXPECT_EQ(mesh->vertices[1], Vector3(1, 0, 0));
    EXPECT_EQ(mesh->vertices[2], Vector3(0, 0, 5));
    EXPECT_EQ(mesh->position.keys[0].value, Vector3(1, -3, 2));

    const std::string bad = sparseModel(3);
    EXPECT_FALSE(importGltfMemory(reinterpret_cast<const unsigned char*>(bad.data()), bad.size(), ".", "s.gltf", {}, show,
                                  error));
    EXPECT_NE(error.find("sparse index past its 3 elements"), std::string::npos) << error;
}

TEST(GltfImport, StripsFansAndUnindexedTrianglesBecomeFacesAndPointsAreSkipped)
{
    GltfText g;
    g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0, 1, 2, 0}, "VEC3");
    g.indices({0, 1, 2, 3, 4});
    g.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":0}},"
                       "{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":5},"
                       "{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":6},"
                       "{\"attributes\":{\"POSITION\":0},\"mode\":0}]}");
    g.nodes.push_back("{\"name\":\"Shapes\",\"mesh\":0}");
    const std::string text = g.text();
    ImportedShow show;
    std::string error;
    ASSERT_TRUE(importGltfMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), ".", "s.gltf", {}, show,
                                 error)) << error;
    const NodeSpec* mesh = nullptr;
    for (const NodeSpec& node : show.scene.nodes)
        if (node.name == "shapes")
            mesh = &node;
    ASSERT_NE(mesh, nullptr);
    // Each kept primitive brings its six vertices; the points bring nothing.
    ASSERT_EQ(mesh->vertices.size(), 18u);
    ASSERT_EQ(mesh->groups.size(), 3u);
    auto corners = [&](size_t group, size_t face) {
        const FaceSpec& f = mesh->faces[size_t(mesh->groups[group].faces[face])];
        return std::vector<int>{f.corners[0].vertex, f.corners[1].vertex, f.corners[2].vertex};
    };
    EXPECT_EQ(mesh->groups[0].faces.size(), 2u);
    EXPECT_EQ(corners(0, 1), (std::vector<int>{3, 4, 5}));
    // A strip turns every second face round to keep the winding; a fan shares its first vertex.
    ASSERT_EQ(mesh->groups[1].faces.size(), 3u);
    EXPECT_EQ(corners(1, 0), (std::vector<int>{6, 7, 8}));
    EXPECT_EQ(corners(1, 1), (std::vector<int>{8, 7, 9}));
    EXPECT_EQ(corners(1, 2), (std::vector<int>{8, 9, 10}));
    ASSERT_EQ(mesh->groups[2].faces.size(), 3u);
    EXPECT_EQ(corners(2, 2), (std::vector<int>{12, 15, 16}));
    EXPECT_EQ(show.triangles, 8);
    ASSERT_EQ(show.warnings.size(), 1u);
    EXPECT_NE(show.warnings[0].find("points are not supported"), std::string::npos);
}

// Runs taldrex-scene with the arguments, its output thrown away; its exit status.
int taldrexScene(std::vector<std::string> args)
{
    const std::string program = TALDREX_BINARY_DIR "/tools/taldrex-scene/taldrex-scene";
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(GltfImport, TheCommandExitsWithTwoOnUsageErrorsOneOnBadModelsAndDumpReadsWhatItWrote)
{
    TempFolder dir;
    const std::string model = samples + "BoxAnimated.gltf";
    EXPECT_EQ(taldrexScene({"import"}), 2);
    EXPECT_EQ(taldrexScene({"import", model}), 2);
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "--fps", "fast"}), 2);
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "--tolerance", "0"}), 2);
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "--unknown"}), 2);
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "extra"}), 2);
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "--name", "a/b"}), 2);
    for (const char* scale : {"0", "-1", "big", "1e12"})
        EXPECT_EQ(taldrexScene({"import", model, dir.path, "--scale", scale}), 2) << scale;
    EXPECT_EQ(taldrexScene({"import", model, dir.path, "--single-sided", "yes"}), 2);
    EXPECT_EQ(countFiles(dir.path), 0u);
    EXPECT_EQ(taldrexScene({"import", dir.write("bad.gltf", "{}"), dir.path + "/show"}), 1);
    EXPECT_EQ(taldrexScene({"import", dir.path, dir.path + "/show"}), 1);
    EXPECT_EQ(taldrexScene({"import", model, dir.path + "/show", "--env", dir.path}), 1);
    EXPECT_FALSE(fs::exists(dir.path + "/show"));
    // A script that cannot be read is not replaced.
    fs::create_directories(dir.path + "/odd/script.txt");
    EXPECT_EQ(taldrexScene({"import", model, dir.path + "/odd"}), 1);
    EXPECT_FALSE(fs::exists(dir.path + "/odd/data"));
    EXPECT_EQ(taldrexScene({"import", model, dir.path + "/show", "--name", "Boxes", "--tolerance", "0.01", "--scale",
                            "2.5", "--single-sided"}), 0);
    EXPECT_EQ(taldrexScene({"dump", dir.path + "/show/data/boxes.scn"}), 0);
}

} // namespace

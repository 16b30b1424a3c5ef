#include "scene/scene_render.h"

#include "gpu/renderer.h"
#include "graph/camera_node.h"
#include "graph/light_node.h"
#include "graph/mesh_node.h"
#include "scene/scene.h"

namespace {

// Which nodes a walk of the tree hands to whom.
enum class Pass { Lights, Opaque, Transparent };

// Saves the model-view matrix around each tree level: on OpenGL's own stack while it has
// room, and beyond that (OpenGL promises only 32 levels, scene trees nest up to
// maxNodeDepth) in these slots, so deep trees draw as shallow ones do.
class LevelMatrices {
public:
    LevelMatrices()
    {
        GLint most = 0;
        GLint used = 0;
        ActiveRenderer().getIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &most);
        ActiveRenderer().getIntegerv(GL_MODELVIEW_STACK_DEPTH, &used);
        stackLevels_ = most - used;
    }

    // Saves the matrix before level (1 for the top-level nodes) changes it.
    void push(int level)
    {
        if (level <= stackLevels_)
            ActiveRenderer().pushMatrix();
        else
            ActiveRenderer().getModelViewMatrix(spare[level - stackLevels_ - 1]);
    }
    // Restores the matrix saved by push(level).
    void pop(int level)
    {
        if (level <= stackLevels_)
            ActiveRenderer().popMatrix();
        else
            ActiveRenderer().loadMatrixf(spare[level - stackLevels_ - 1]);
    }

private:
    static GLfloat spare[maxNodeDepth][16];
    int stackLevels_ = 0;
};

GLfloat LevelMatrices::spare[maxNodeDepth][16];

// One walk over the children of node at the given tree level: each child's matrix goes onto
// the model-view matrix, the child is handled by the pass, its children are walked, and the
// matrix is restored.
void walk(Scene& scene, Node& node, Pass pass, int level, LevelMatrices& matrices)
{
    Renderer& r = ActiveRenderer();
    for (std::unique_ptr<Node>& child : node.children) {
        matrices.push(level);
        r.multMatrixf(child->matrix.m);
        switch (pass) {
        case Pass::Lights:
            if (child->kind == NodeKind::Light)
                static_cast<LightNode&>(*child).setUpLight(scene.activeLights);
            break;
        case Pass::Opaque:
            if (child->isDrawable() &&
                !(child->kind == NodeKind::Mesh && static_cast<MeshNode&>(*child).transparent))
                static_cast<DrawableNode&>(*child).render();
            break;
        case Pass::Transparent:
            if (child->isDrawable() && child->kind == NodeKind::Mesh &&
                static_cast<MeshNode&>(*child).transparent)
                static_cast<DrawableNode&>(*child).render();
            break;
        }
        // Trees built in code may nest deeper than a file can; what lies below is not drawn.
        if (child->children.size() > 0 && level < maxNodeDepth)
            walk(scene, *child, pass, level + 1, matrices);
        matrices.pop(level);
    }
}

void walk(Scene& scene, Pass pass)
{
    LevelMatrices matrices;
    walk(scene, scene, pass, 1, matrices);
}

} // namespace

void Scene::renderFrame(float time)
{
    Renderer& r = ActiveRenderer();
    // The playback loop hands over whatever node its name search found.
    if (!camera || camera->kind != NodeKind::Camera)
        return;

    static const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    r.materialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    r.color4f(1.0f, 1.0f, 1.0f, 1.0f);
    // Lighting follows the lights in the file, not how many are switched on this frame.
    if (lightCount >= 1) {
        r.enable(GL_LIGHTING);
        r.shadeModel(GL_SMOOTH);
    } else {
        r.disable(GL_LIGHTING);
        r.shadeModel(GL_FLAT);
    }
    activeLights = 0;
    if (!camera->applyCamera(time))
        return;

    evaluateNodes(time);

    r.matrixMode(GL_MODELVIEW);
    r.loadIdentity();
    walk(*this, Pass::Lights);

    r.enable(GL_DEPTH_TEST);
    r.depthMask(GL_TRUE);
    walk(*this, Pass::Opaque);
    r.depthMask(GL_FALSE);
    walk(*this, Pass::Transparent);
    r.depthMask(GL_TRUE);

    int32_t enabled = activeLights < maxLights ? activeLights : maxLights;
    for (int32_t n = 0; n < enabled; ++n)
        r.disable(GL_LIGHT0 + static_cast<GLenum>(n));
}

void RenderSceneAt(Scene& scene, float time, int bandWidth, int bandHeight)
{
    Renderer& r = ActiveRenderer();
    r.viewport(0, 0, bandWidth, bandHeight);
    r.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.renderFrame(time);
}

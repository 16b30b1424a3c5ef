#include "web/web_platform.h"

#include "gpu/gl_context.h"
#include "gpu/renderer.h"
#include "gpu/renderer_gles2.h"
#include "gpu/viewport.h"
#include "image/loading_picture.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// A soundtrack the page decoded, as a Web Audio buffer it keeps; id names it there.
struct SoundStream {
    int id = 0;
};

namespace {

// The music lives on the page's side (src/page/page.js keeps Module.taldrexSound): the
// decoded buffers by path, and each stream's source node and its start on the audio
// context's clock. Every function answers for a stream the page does not know as for
// none.
// clang-format off
EM_JS(int, webSoundOpen, (const char* path), {
    const sound = Module.taldrexSound;
    const buffer = sound && sound.decoded.get(UTF8ToString(path));
    if (!buffer) return 0;
    const id = ++sound.lastId;
    sound.streams.set(id, { buffer: buffer, source: null, startedAt: 0, offset: 0, playing: false });
    return id;
});
EM_JS(void, webSoundClose, (int id), {
    const sound = Module.taldrexSound;
    if (sound) { sound.stop(id); sound.streams.delete(id); }
});
EM_JS(int, webSoundPlay, (int id), { return Module.taldrexSound && Module.taldrexSound.play(id) ? 1 : 0; });
EM_JS(int, webSoundPosition, (int id), { return Module.taldrexSound ? Module.taldrexSound.position(id) : 0; });
EM_JS(int, webSoundEnded, (int id), { return Module.taldrexSound && Module.taldrexSound.ended(id) ? 1 : 0; });
EM_JS(int, webSoundSeek, (int id, int ms), { return Module.taldrexSound && Module.taldrexSound.seek(id, ms) ? 1 : 0; });
EM_JS(int, webSoundPause, (int id, int paused), {
    return Module.taldrexSound && Module.taldrexSound.pause(id, paused !== 0) ? 1 : 0;
});
// clang-format on

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE Context = 0;

const void* currentContext()
{
    return reinterpret_cast<const void*>(static_cast<intptr_t>(emscripten_webgl_get_current_context()));
}

bool extensionSupported(const char* name)
{
    char* list = emscripten_webgl_get_supported_extensions();
    if (!list)
        return false;
    bool found = false;
    const size_t length = std::strlen(name);
    for (const char* at = list; !found && (at = std::strstr(at, name)) != nullptr; at += length)
        found = (at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0');
    std::free(list);
    return found;
}

// Windows virtual-key codes are what browsers report as keyCode for the keys the show
// reads (letters, digits, Escape, space, the function keys).
EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void* platform)
{
    if (!event->repeat || type == EMSCRIPTEN_EVENT_KEYUP)
        static_cast<WebPlatform*>(platform)->keyEvent(static_cast<int>(event->keyCode), type == EMSCRIPTEN_EVENT_KEYDOWN);
    // The page's own keys (F for fullscreen) see the event too.
    return EM_FALSE;
}

EM_BOOL onMouse(int type, const EmscriptenMouseEvent* event, void* platform)
{
    const double ratio = emscripten_get_device_pixel_ratio();
    PointerEvent pointer;
    pointer.x = static_cast<int>(std::lround(event->targetX * ratio));
    pointer.y = static_cast<int>(std::lround(event->targetY * ratio));
    // DOM buttons are 0 left, 1 middle, 2 right.
    pointer.button = event->button + 1;
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) {
        pointer.kind = PointerEvent::Kind::Press;
        pointer.clicks = 1;
    } else if (type == EMSCRIPTEN_EVENT_MOUSEUP) {
        pointer.kind = PointerEvent::Kind::Release;
    } else {
        pointer.kind = PointerEvent::Kind::Motion;
        pointer.button = 0;
    }
    static_cast<WebPlatform*>(platform)->pointerEvent(pointer);
    return EM_FALSE;
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* event, void* platform)
{
    PointerEvent pointer;
    pointer.kind = PointerEvent::Kind::Wheel;
    pointer.wheel = event->deltaY < 0 ? 1 : event->deltaY > 0 ? -1 : 0;
    static_cast<WebPlatform*>(platform)->pointerEvent(pointer);
    return EM_FALSE;
}

} // namespace

bool WebPlatform::open(const std::string& canvas, bool keepFrames, std::string& error)
{
    canvas_ = canvas;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    // An opaque picture, as a window's: the page behind it never shows through.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = keepFrames ? EM_TRUE : EM_FALSE;
    Context = emscripten_webgl_create_context(canvas_.c_str(), &attributes);
    if (Context <= 0 || emscripten_webgl_make_context_current(Context) != EMSCRIPTEN_RESULT_SUCCESS) {
        error = "this browser gives the page no WebGL 1 context";
        return false;
    }
    SetGlPlatform(GlPlatform{emscripten_webgl1_get_proc_address, currentContext, extensionSupported});
    std::unique_ptr<Gles2Renderer> renderer = Gles2Renderer::create(error);
    if (!renderer)
        return false;
    InstallRenderer(std::move(renderer));

    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, onKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, onKey);
    emscripten_set_mousedown_callback(canvas_.c_str(), this, EM_TRUE, onMouse);
    emscripten_set_mouseup_callback(canvas_.c_str(), this, EM_TRUE, onMouse);
    emscripten_set_mousemove_callback(canvas_.c_str(), this, EM_TRUE, onMouse);
    emscripten_set_wheel_callback(canvas_.c_str(), this, EM_TRUE, onWheel);

    followCanvasSize();
    InitGLState(width_, height_);
    return true;
}

void WebPlatform::fixSize(int width, int height)
{
    fixedSize_ = true;
    width_ = width;
    height_ = height;
    emscripten_set_canvas_element_size(canvas_.c_str(), width, height);
}

void WebPlatform::followCanvasSize()
{
    if (fixedSize_)
        return;
    double cssWidth = 0;
    double cssHeight = 0;
    if (emscripten_get_element_css_size(canvas_.c_str(), &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS)
        return;
    const double ratio = emscripten_get_device_pixel_ratio();
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * ratio)));
    if (width != width_ || height != height_)
        emscripten_set_canvas_element_size(canvas_.c_str(), width, height);
    width_ = width;
    height_ = height;
}

void WebPlatform::present() { followCanvasSize(); }

void WebPlatform::showLoadingPicture(const DataFolder& folder, ImageBudget& budget, TexturePicture* decoded)
{
    followCanvasSize();
    DrawLoadingPicture(folder, budget, width_, height_, decoded);
    present();
}

void WebPlatform::pumpEvents() { followCanvasSize(); }

uint32_t WebPlatform::ticks() { return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now())); }

bool WebPlatform::keyDown(int virtualKey) { return virtualKey >= 0 && virtualKey < 256 && keyState_[virtualKey]; }

bool WebPlatform::takeKeyPress(int virtualKey)
{
    if (virtualKey < 0 || virtualKey >= 256 || !keyPressed_[virtualKey])
        return false;
    keyPressed_[virtualKey] = false;
    return true;
}

int WebPlatform::takePointerEvents(PointerEvent (&events)[PointerEventCapacity]) { return pointer_.take(events); }

void WebPlatform::keyEvent(int virtualKey, bool down)
{
    if (virtualKey < 0 || virtualKey >= 256)
        return;
    keyState_[virtualKey] = down;
    if (down)
        keyPressed_[virtualKey] = true;
}

void WebPlatform::pointerEvent(const PointerEvent& event) { pointer_.push(event); }

SoundStream* WebPlatform::openMusic(const std::string& path, const DataFolder& folder)
{
    if (soundOff_)
        return nullptr;
    // Refused as the desktop refuses it: outside the folder, not a regular file, too large.
    const int id = folder.openFile(path, SoundtrackFileLimit) ? webSoundOpen(path.c_str()) : 0;
    if (id == 0) {
        soundOff_ = true;
        return nullptr;
    }
    return new SoundStream{id};
}

void WebPlatform::closeMusic(SoundStream* stream)
{
    if (!stream)
        return;
    webSoundClose(stream->id);
    delete stream;
}

bool WebPlatform::startMusic(SoundStream* stream) { return stream && webSoundPlay(stream->id) != 0; }

int WebPlatform::musicPosition(SoundStream* stream) { return stream ? webSoundPosition(stream->id) : 0; }

bool WebPlatform::musicEnded(SoundStream* stream) { return stream && webSoundEnded(stream->id) != 0; }

bool WebPlatform::seekMusic(SoundStream* stream, int ms) { return stream && webSoundSeek(stream->id, ms) != 0; }

bool WebPlatform::pauseMusic(SoundStream* stream, bool paused)
{
    return stream && webSoundPause(stream->id, paused ? 1 : 0) != 0;
}

int WebPlatform::audioDelayMs() { return 0; }

WebPlatform& Web()
{
    static WebPlatform web;
    return web;
}

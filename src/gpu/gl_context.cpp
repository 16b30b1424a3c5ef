#include "gpu/gl_context.h"

namespace {

GlPlatform answers;

} // namespace

void SetGlPlatform(const GlPlatform& platform) { answers = platform; }

bool GlContextIsCurrent() { return CurrentGlContext() != nullptr; }

const void* CurrentGlContext() { return answers.currentContext ? answers.currentContext() : nullptr; }

void* GlProcAddress(const char* name) { return answers.procAddress ? answers.procAddress(name) : nullptr; }

bool GlExtensionSupported(const char* name)
{
    return answers.extensionSupported && GlContextIsCurrent() && answers.extensionSupported(name);
}

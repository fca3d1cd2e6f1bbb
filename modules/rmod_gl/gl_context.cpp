// gl_context.cpp — the GL context rmod_gl draws with.
//
// With a host window (the SDL backend hands its SDL_Window *, made with SDL_WINDOW_OPENGL
// when the configured renderer is a GL one) the context is SDL's, on that window. Without
// one (the headless backend) it is an EGL context on Mesa's surfaceless platform: no
// display, no window surface, drawing only into framebuffer objects. Both ask for
// OpenGL 3.3 core; libepoxy resolves the entry points for whichever is current.
#include <SDL.h>
#include <epoxy/egl.h>
#include <stdio.h>
#include <string.h>

#include "gl_renderer.h"

namespace gl {
namespace {

bool CreateWindowContext(Context *c, SDL_Window *window, char *error, size_t error_size) {
  if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
    snprintf(error, error_size, "the window was not made for OpenGL");
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    snprintf(error, error_size, "no OpenGL 3.3 core context: %s", SDL_GetError());
    return false;
  }
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    snprintf(error, error_size, "the OpenGL context cannot be made current: %s", SDL_GetError());
    SDL_GL_DeleteContext(context);
    return false;
  }
  SDL_GL_SetSwapInterval(0);  // the engine paces frames itself
  c->window = window;
  c->sdl_context = context;
  return true;
}

// The surfaceless display, initialised once and kept for the life of the process:
// terminating it unloads the driver, and loading it again for every context would cost
// time and leave the driver's own allocations behind.
EGLDisplay SurfacelessDisplay(char *error, size_t error_size) {
  static EGLDisplay display = EGL_NO_DISPLAY;
  if (display != EGL_NO_DISPLAY) return display;
  const char *client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!client || !strstr(client, "EGL_MESA_platform_surfaceless")) {
    snprintf(error, error_size, "no window, and EGL has no surfaceless platform");
    return EGL_NO_DISPLAY;
  }
  EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
    snprintf(error, error_size, "EGL cannot be initialised (error 0x%x)", eglGetError());
    return EGL_NO_DISPLAY;
  }
  display = d;
  return display;
}

bool CreateSurfacelessContext(Context *c, char *error, size_t error_size) {
  EGLDisplay display = SurfacelessDisplay(error, error_size);
  if (display == EGL_NO_DISPLAY) return false;
  const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3,
                                       EGL_CONTEXT_MINOR_VERSION, 3,
                                       EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                       EGL_NONE};
  EGLContext context = EGL_NO_CONTEXT;
  if (eglBindAPI(EGL_OPENGL_API))
    context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, context_attributes);
  if (context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    snprintf(error, error_size, "no surfaceless OpenGL 3.3 core context (EGL error 0x%x)",
             eglGetError());
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    return false;
  }
  c->egl_display = display;
  c->egl_context = context;
  return true;
}

}  // namespace

bool ContextCreate(Context *c, void *sdl_window, char *error, size_t error_size) {
  *c = Context{};
  if (sdl_window)
    return CreateWindowContext(c, static_cast<SDL_Window *>(sdl_window), error, error_size);
  return CreateSurfacelessContext(c, error, error_size);
}

void ContextDestroy(Context *c) {
  if (c->sdl_context) {
    SDL_GL_MakeCurrent(static_cast<SDL_Window *>(c->window), nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(c->sdl_context));
  }
  if (c->egl_display) {
    eglMakeCurrent(c->egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(c->egl_display, c->egl_context);
  }
  *c = Context{};
}

bool ContextDrawableSize(const Context *c, int *width, int *height) {
  if (!c->window) return false;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window *>(c->window), width, height);
  return *width > 0 && *height > 0;
}

void ContextSwap(const Context *c) {
  if (c->window) SDL_GL_SwapWindow(static_cast<SDL_Window *>(c->window));
}

}  // namespace gl

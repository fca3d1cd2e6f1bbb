// gl_programs.cpp — the one GLSL program rmod_gl draws everything with.
//
// The vertex stage applies the engine's row-major transform (x' = m0 x + m1 y + m2 z + m3,
// the bottom row unused, as in rmod_soft) and maps device pixels of the target to clip
// space without a flip (see gl_renderer.h). Lines snap their ends to pixel centres, so
// GL's line rule (diamond exit) draws the pixel of the first point and not the last.
//
// The fragment stage samples premultiplied texels, divides the alpha out, applies a
// shader effect, multiplies by the vertex colour and writes what the blend function of
// the mode needs (u_output): 0 straight colour, 1 colour times alpha (premultiplied
// targets), 2 the multiply factor colour x alpha + (1 - alpha).
#include <stdio.h>

#include "gl_renderer.h"

namespace gl {
namespace {

const char *VERTEX_SOURCE = R"(#version 330 core
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_colour;
layout(location = 2) in vec2 a_uv;
uniform mat4 u_transform;
uniform vec2 u_target;
uniform bool u_snap;
uniform bool u_argb;
out vec4 v_colour;
out vec2 v_uv;
void main() {
  vec2 p = (u_transform * vec4(a_position, 1.0)).xy;
  if (u_snap) p = floor(p) + 0.5;
  gl_Position = vec4(p * 2.0 / u_target - 1.0, 0.0, 1.0);
  v_colour = u_argb ? a_colour.zyxw : a_colour;  // 0xAARRGGBB words are bytes B, G, R, A
  v_uv = a_uv;
}
)";

const char *FRAGMENT_SOURCE = R"(#version 330 core
in vec4 v_colour;
in vec2 v_uv;
uniform sampler2D u_texture;
uniform bool u_textured;
uniform int u_output;
uniform int u_effect;
uniform vec3 u_params;
out vec4 o_colour;
void main() {
  vec4 s = v_colour;
  if (u_textured) {
    vec4 t = texture(u_texture, clamp(v_uv, 0.0, 1.0));
    t.rgb = t.a > 0.0 ? min(t.rgb / t.a, vec3(1.0)) : vec3(0.0);
    if (u_effect == 1)
      t.rgb = mix(t.rgb, vec3(dot(t.rgb, vec3(0.299, 0.587, 0.114))), clamp(u_params.x, 0.0, 1.0));
    else if (u_effect == 2)
      t.rgb = clamp(t.rgb * u_params, 0.0, 1.0);
    s *= t;
  }
  if (u_output == 1)
    o_colour = vec4(s.rgb * s.a, s.a);
  else if (u_output == 2)
    o_colour = vec4(s.rgb * s.a + vec3(1.0 - s.a), 1.0);
  else
    o_colour = s;
}
)";

GLuint Compile(GLenum kind, const char *source, char *error, size_t error_size) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[512] = "";
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  snprintf(error, error_size, "%s shader does not compile: %s",
           kind == GL_VERTEX_SHADER ? "vertex" : "fragment", log);
  glDeleteShader(shader);
  return 0;
}

}  // namespace

bool ProgramsCreate(Programs *p, char *error, size_t error_size) {
  *p = Programs{};
  GLuint vs = Compile(GL_VERTEX_SHADER, VERTEX_SOURCE, error, error_size);
  GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, FRAGMENT_SOURCE, error, error_size) : 0;
  if (!fs) {
    if (vs) glDeleteShader(vs);
    return false;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[512] = "";
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    snprintf(error, error_size, "the program does not link: %s", log);
    glDeleteProgram(program);
    return false;
  }
  p->program = program;
  p->transform = glGetUniformLocation(program, "u_transform");
  p->target = glGetUniformLocation(program, "u_target");
  p->snap = glGetUniformLocation(program, "u_snap");
  p->argb = glGetUniformLocation(program, "u_argb");
  p->textured = glGetUniformLocation(program, "u_textured");
  p->texture = glGetUniformLocation(program, "u_texture");
  p->output = glGetUniformLocation(program, "u_output");
  p->effect = glGetUniformLocation(program, "u_effect");
  p->params = glGetUniformLocation(program, "u_params");
  return true;
}

void ProgramsDestroy(Programs *p) {
  if (p->program) glDeleteProgram(p->program);
  *p = Programs{};
}

}  // namespace gl

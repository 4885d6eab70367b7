// The shader pair that reproduces the fixed-function look: transform or screen-space
// positions, per-vertex lighting (emissive, ambient, diffuse with vertex colour as a
// material source), two texture stages with colour and alpha operations and
// texture-matrix scrolling, and the alpha test.
//
// The bodies read the state that picks their paths through k-names. The general
// prelude maps those to the uniform block, so one program draws every state; a
// specialised prelude (made by the back end) writes them as constants, and the
// compiler drops every path that state cannot take, the texture reads no stage
// uses included. Software rasterisers run every path of a branch for every pixel,
// so the specialised programs cost a fraction of the general one.
#pragma once

namespace platform::gfx {

inline constexpr const char* kFixedFunctionBlock = R"(
layout(std140) uniform State {
  mat4 uWorld;
  mat4 uViewProj;
  vec4 uMatDiffuse;
  vec4 uMatAmbient;
  vec4 uMatEmissive;
  vec4 uGlobalAmbient;
  vec4 uLightDiffuse[8];
  vec4 uLightAmbient[8];
  vec4 uLightVec[8];
  vec4 uLightAtten[8];
  ivec4 uFlags;    // lighting, has normal, has colour, screen-space positions
  ivec4 uSources;  // diffuse, ambient, emissive source (1 vertex colour), light count
  ivec4 uStage0;   // colour op, colour arg 1, colour arg 2, alpha op
  ivec4 uStage0b;  // alpha arg 1, alpha arg 2, coordinate index, has texture
  ivec4 uStage1;
  ivec4 uStage1b;
  vec4 uTex0M;     // _11 _12 _21 _22
  vec4 uTex0T;     // _31 _32 on
  vec4 uTex1M;
  vec4 uTex1T;
  vec4 uTFactor;
  vec4 uAlphaTest; // on, function, reference (0..255)
  vec4 uTarget;    // viewport x, y, width, height in pixels
  vec4 uTarget2;   // y sign of the target
};
)";

// Every state read from the uniform block: the program that draws anything.
inline constexpr const char* kGeneralPrelude = R"(
#define kFlags uFlags
#define kSources uSources
#define kStage0 uStage0
#define kStage0b uStage0b
#define kStage1 uStage1
#define kStage1b uStage1b
#define kTex0On (uTex0T.z != 0.0)
#define kTex1On (uTex1T.z != 0.0)
#define kAlphaOn (uAlphaTest.x != 0.0)
#define kAlphaFunc int(uAlphaTest.y + 0.5)
)";

inline constexpr const char* kVertexShaderBody = R"(
layout(location = 0) in vec4 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColor;
layout(location = 3) in vec2 aUv0;
layout(location = 4) in vec2 aUv1;
out vec4 vDiffuse;
out vec2 vUv0;
out vec2 vUv1;

vec2 StageCoord(int index, bool on, vec4 m, vec4 t) {
  vec2 uv = index == 1 ? aUv1 : aUv0;
  if (on) uv = vec2(uv.x * m.x + uv.y * m.z + t.x, uv.x * m.y + uv.y * m.w + t.y);
  return uv;
}

void main() {
  vec4 clip;
  vec4 world = vec4(0.0);
  if (kFlags.w != 0) {
    vec2 ndc = vec2((aPos.x - uTarget.x) / uTarget.z * 2.0 - 1.0, 1.0 - (aPos.y - uTarget.y) / uTarget.w * 2.0);
    float w = aPos.w > 0.0 ? 1.0 / aPos.w : 1.0;
    clip = vec4(ndc * w, aPos.z * w, w);
  } else {
    world = uWorld * vec4(aPos.xyz, 1.0);
    clip = uViewProj * world;
  }
  vec4 vertexColour = kFlags.z != 0 ? aColor : vec4(1.0);
  if (kFlags.x != 0 && kFlags.w == 0) {
    vec4 md = (kSources.x == 1 && kFlags.z != 0) ? aColor : uMatDiffuse;
    vec4 ma = (kSources.y == 1 && kFlags.z != 0) ? aColor : uMatAmbient;
    vec4 me = (kSources.z == 1 && kFlags.z != 0) ? aColor : uMatEmissive;
    vec3 n = mat3(uWorld) * aNormal;
    float len = length(n);
    n = (kFlags.y != 0 && len > 0.0) ? n / len : vec3(0.0);
    vec3 c = me.rgb + ma.rgb * uGlobalAmbient.rgb;
    for (int i = 0; i < uSources.w; ++i) {
      int type = int(uLightVec[i].w + 0.5);
      vec3 l;
      float att = 1.0;
      if (type == 3) {
        l = -normalize(uLightVec[i].xyz);
      } else {
        vec3 d = uLightVec[i].xyz - world.xyz;
        float dist = length(d);
        l = dist > 0.0 ? d / dist : vec3(0.0);
        vec4 a = uLightAtten[i];
        if (a.w > 0.0 && dist > a.w) att = 0.0;
        else att = 1.0 / max(a.x + a.y * dist + a.z * dist * dist, 1e-6);
      }
      c += att * (ma.rgb * uLightAmbient[i].rgb + md.rgb * uLightDiffuse[i].rgb * max(dot(n, l), 0.0));
    }
    vDiffuse = vec4(clamp(c, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
  } else {
    vDiffuse = vertexColour;
  }
  vUv0 = StageCoord(uStage0b.z, kTex0On, uTex0M, uTex0T);
  vUv1 = StageCoord(uStage1b.z, kTex1On, uTex1M, uTex1T);
  clip.y *= uTarget2.x;
  clip.z = 2.0 * clip.z - clip.w;
  gl_Position = clip;
}
)";

inline constexpr const char* kFragmentShaderBody = R"(
in vec4 vDiffuse;
in vec2 vUv0;
in vec2 vUv1;
out vec4 fragColour;
uniform sampler2D uTexture0;
uniform sampler2D uTexture1;

vec4 Arg(int a, vec4 tex, vec4 cur) {
  if (a == 0) return vDiffuse;
  if (a == 1) return cur;
  if (a == 2) return tex;
  return uTFactor;
}

vec4 Op(int o, vec4 a1, vec4 a2) {
  if (o == 2) return a1;
  if (o == 3) return a2;
  if (o == 4) return a1 * a2;
  if (o == 5) return clamp(a1 * a2 * 2.0, 0.0, 1.0);
  if (o == 6) return clamp(a1 * a2 * 4.0, 0.0, 1.0);
  if (o == 7) return clamp(a1 + a2, 0.0, 1.0);
  return a1;
}

vec4 Stage(ivec4 s, ivec4 sb, vec4 tex, vec4 cur) {
  vec3 colour = Op(s.x, Arg(s.y, tex, cur), Arg(s.z, tex, cur)).rgb;
  float alpha = s.w == 1 ? cur.a : Op(s.w, Arg(sb.x, tex, cur), Arg(sb.y, tex, cur)).a;
  return vec4(colour, alpha);
}

bool Passes(int f, float a, float ref) {
  if (f == 1) return false;
  if (f == 2) return a < ref;
  if (f == 3) return a == ref;
  if (f == 4) return a <= ref;
  if (f == 5) return a > ref;
  if (f == 6) return a != ref;
  if (f == 7) return a >= ref;
  return true;
}

void main() {
  vec4 cur = vDiffuse;
  if (kStage0.x != 1) {
    vec4 t0 = kStage0b.w != 0 ? texture(uTexture0, vUv0) : vec4(1.0);
    cur = Stage(kStage0, kStage0b, t0, cur);
    if (kStage1.x != 1) {
      vec4 t1 = kStage1b.w != 0 ? texture(uTexture1, vUv1) : vec4(1.0);
      cur = Stage(kStage1, kStage1b, t1, cur);
    }
  }
  if (kAlphaOn && !Passes(kAlphaFunc, floor(cur.a * 255.0 + 0.5), uAlphaTest.z)) discard;
  fragColour = clamp(cur, 0.0, 1.0);
}
)";

}  // namespace platform::gfx

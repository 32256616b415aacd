Quad: the particle systems' camera-facing textured squares. Every particle
arrives as six vertices at its world position; each vertex carries a quad
corner (inTexCoord0, each 0 or 1) and the pair (opacity, size) (inTexCoord1).

Parameters:
  view                 the camera's view matrix.
  worldViewProjection  the camera's projection alone: particle positions are
                       already world positions, and the square is built in
                       view space between the two.
  tex                  the particle texture.
  alpha                a global opacity factor (the systems pass 0.1), so
                       one particle is faint and smoke builds up from many.

Expansion. The point goes into view space; the corner moves it by
(u - 0.5, 0.5 - v) x size along the view's x (right) and y (up) axes, so the
square always faces the camera, is size world units on a side, keeps its
edges parallel to the picture's, and shows the texture upright (v = 0 at the
top). Then the projection.

Colour. The texture is read as smoke: where it is bright and opaque there is
smoke, where it is black or transparent there is none. So a texture with an
alpha channel (a soft sprite) and one without (a JPEG whose black surround
means empty) both give soft puffs. Coverage = max(r, g, b) x texture alpha x
clamp(opacity x alpha, 0, 1); the colour is the texture's hue at that
coverage. An opacity below zero (smog that has faded out) draws nothing.

Faint smoke. One particle often adds less than one step of an 8-bit target
(old smoke at opacity 0.01 adds a quarter of a step), and the blender would
round every such addition away, cutting the fade short. So the colour is
rounded to whole steps in the shader, up with the probability of the
fraction, using a threshold that varies over pixels and particles: faint
layers then add up to the right amount on average, as a fine grain. A
fragment that rounds to nothing is discarded.

Blending. Premultiplied "over": source x One + destination x (1 - coverage).
Smoke veils what lies behind it without adding light, overlapping puffs
thicken smoothly towards full cover and never overshoot white, and the
target's alpha grows by the same rule, so over the cleared background it
holds the smoke's coverage. Particles are drawn unsorted, which for uniform
soft smoke shows no ordering seams.

Depth. Tested (less-or-equal) against what the scene drew, so solid objects
in front hide the smoke; never written, so particles do not cut holes in
one another and the smoke stays soft where puffs cross. No culling: with
the corner order the systems write, both triangles of a square run
counter-clockwise on the picture, which the default culling would drop.

Sampling. Bilinear within the nearest mip level: on soft sprites it looks
the same as blending two levels, and a software rasteriser fills the
harmonium's thousands of overlapping squares noticeably faster. The
texture is clamped at its edges so a sprite never picks up its opposite rim.

Only the particle systems bind this effect. The textured screen quad that
other passes draw is done by the device's built-in fixed-function shader
and does not use it.

@sampler tex MinFilter=Linear MagFilter=Linear MipFilter=Point AddressU=Clamp AddressV=Clamp

@common
uniform mat4 view;
uniform mat4 worldViewProjection;
uniform sampler2D tex;
uniform float alpha;

// The steps of the 8-bit targets the scenes draw into.
const float kSteps = 255.0;

// An integer hash whose every output bit depends on every input bit.
uint mixBits(uint h) {
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h;
}

#define PARTICLE_VARYINGS(direction) \
  direction Varyings {               \
    vec2 uv;                         \
    float opacity;                   \
    flat uint seed;                  \
  } particle

@vertex quad
PARTICLE_VARYINGS(out);
void main() {
  const vec2 corner = inTexCoord0.xy;
  const float opacity = inTexCoord1.x;
  const float size = inTexCoord1.y;
  vec4 p = view * vec4(inPosition, 1.0);
  p.xy += vec2(corner.x - 0.5, 0.5 - corner.y) * size * p.w;
  gl_Position = worldViewProjection * p;
  particle.uv = corner;
  particle.opacity = opacity;
  // One number per particle, from its position (shared by its six
  // vertices) and its place in the draw (particles born together share a
  // position and must still round independently).
  const uvec3 bits = floatBitsToUint(inPosition);
  const uint place = uint(gl_VertexID) / 6u;
  particle.seed = mixBits(bits.x * 73856093u ^ bits.y * 19349663u ^ bits.z * 83492791u ^ mixBits(place));
}

@fragment quad
PARTICLE_VARYINGS(in);
layout(location = 0) out vec4 outColour;

// A threshold in [0, 1), white noise over pixels and particles.
float threshold() {
  const uvec2 pixel = uvec2(gl_FragCoord.xy);
  const uint h = mixBits(particle.seed ^ mixBits(pixel.x + 0x9e3779b9u * pixel.y));
  return float(h >> 8) / 16777216.0;
}

void main() {
  const vec4 texel = texture(tex, particle.uv);
  const float strength = clamp(particle.opacity * alpha, 0.0, 1.0) * texel.a;
  const float coverage = max(max(texel.r, texel.g), texel.b) * strength;
  const vec4 colour = vec4(texel.rgb * strength, coverage);
  // Rounded to whole 8-bit steps, up with the probability of the fraction.
  const vec4 steps = floor(colour * kSteps + threshold());
  if (steps.a <= 0.0) discard;  // adds nothing and keeps everything behind
  outColour = steps / kSteps;
}

@technique Quad
@pass p0 vertex=quad fragment=quad AlphaBlendEnable=True SrcBlend=One DestBlend=InvSrcAlpha BlendOp=Add ZEnable=True ZFunc=LessEqual ZWriteEnable=False CullMode=None

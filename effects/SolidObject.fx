SolidObject: every lit, solid piece of a scene, drawn by MeshInstance into the
scene's four simultaneous outputs.

Lighting model. Light is gathered per pixel in world space. A point light i
sends pointLight[i].color (its colour already times its intensity) divided by
max(d, 1)^pointLight[i].power, d being the distance from the light in units
of kLightDistanceUnit (5 world units: the scenes place weak lights tens of
units from what they light, a room of 260 units around a light of 6, a
harmonium 10 to 25 units from lights of 15 falling off as d^2). The sky shell
measures the same falloff in world units (kSkyDistanceUnit): its large
colours are made to meet lights 150 units away.
Diffuse uses Lambert's cosine, or with material.lightBleedEnabled the wrapped
cosine (cos + bleed) / (1 + bleed), so a large bleed lets light reach round
to the far side; specular is Blinn-Phong
with material.specularPower, only on sides facing the light. The optional
directional light shines along directionallight.dir with no falloff. Colour =
texture x (material.ambient + environmentAmbient + material.diffuse x diffuse
light) + material.specular x specular light, saturated by the 8-bit target.
When material.limitIllumination > 0 the gathered diffuse and specular light is
capped at that value per channel; 0 means no cap. Without a "tex" texture the
texture factor is white (a 1 x 1 picture counts as none: Mesa reports an
empty slot as a 1 x 1 black texture).

Normal mapping (enableNormalmap): "normalmap" is read with texture-coordinate
pair 1 and holds a tangent-space normal, rgb = 0.5 + 0.5 n with x along the
tangent (set 2, the direction in which pair 1's u grows), y along the binormal
(set 3, v) and z out of the surface. Only x and y are read: the shading normal
is normalize(N + bumpiness (x T + y B)) with N, T, B the unit vertex normal,
tangent and binormal, so a true normal map (z near 1) bends as usual, and a
colour picture used as normal map tilts the normal by its colour but never
lays it flat or turns it inwards. A zero tangent frame (meshes whose frames
were never derived) leaves the vertex normal.

Outputs, all four written by every technique:
  0  the lit colour. Alpha is 1 for opaque drawing; for blended drawing
     (blendMode 1 or 2, "AlphaObject", "AdditiveObject") it is the texture's
     alpha times blendFactor.
  1  velocity, RGBA8: rg = 0.5 + velocityScale x v, clamped to 0..1, where v is
     the pixel's screen velocity in texture units per second (u to the right,
     v downwards: 1 = the whole picture per second), measured between the
     scene's last two motion updates (velocityTransform over deltaTime);
     b = 0.5. So 0.5 grey means no motion, like the scene's clear value.
  2  depth, R32F: the view-space depth (distance along the view axis, world
     units) of the pixel; the sky writes z_far. Anything below z_near, like
     the clear value 128/255, means nothing solid was drawn there.
  3  distortion offset, RGBA8: rg = 0.5 + 0.5 x the view-space normal's x
     and -y (right and down on the picture), b = 0.5. 0.5 grey means none.
     "TwirlObject" scales the offset by min(disM, 1); the sky writes none.
  Outputs 1 and 3 carry alpha 1 when opaque and the colour's alpha when alpha
  blended, so a blended object mixes its motion in by its coverage; additive
  drawing writes alpha 0, leaving them untouched.

Techniques:
  SolidObject     the default. Blending follows the material's blendMode,
                  whose states MeshInstance sets before Begin; this pass sets
                  none, so they hold during the draw.
  AlphaObject     alpha blending (source alpha, inverse source alpha) set by
                  its own pass, without depth writes; End puts back the
                  states MeshInstance set.
  AdditiveObject  additive blending (source alpha, one) by its own pass,
                  without depth writes.
  TwirlObject     twists the mesh about the axis through its origin along
                  normalize(axis): a vertex turns by disM x kTwirlRate radians
                  per object unit of its distance along the axis, normals
                  with it; lit like SolidObject.
  skybox          the sky shell, drawn first: lit like SolidObject (its large
                  colours meet far lights, measured in world units) but
                  without specular, writing no
                  depth-buffer values so everything later lies in front, its
                  depth output at z_far and no distortion.

Parameters no program reads ("time", "projection", "worldViewProjInv",
"z_near", "pointLight[i].intensity", "depthTex") are left undeclared, and
setting them fails silently. "depthTex" names the depth target, which is
bound as output 2 during these draws: it is never sampled here.

@sampler tex MinFilter=Linear MagFilter=Linear MipFilter=Linear AddressU=Wrap AddressV=Wrap
@sampler normalmap MinFilter=Linear MagFilter=Linear MipFilter=Linear AddressU=Wrap AddressV=Wrap

@common
#define MAX_POINT_LIGHTS 10

struct MaterialParameters {
  vec4 ambient;
  vec4 diffuse;
  vec4 specular;
  float specularPower;
  float lightBleed;
  bool lightBleedEnabled;
  float limitIllumination;
  float bumpiness;
};
struct PointLight {
  vec4 position;
  vec4 color;
  float power;
};
struct DirectionalLight {
  vec3 dir;
  vec4 color;
};

uniform mat4 worldViewProjection;
uniform mat4 world;
uniform mat4 worldInv;
uniform mat4 worldView;
uniform mat4 viewProjection;
uniform mat4 projectionInv;
uniform mat4 velocityTransform;

uniform MaterialParameters material;
uniform vec4 environmentAmbient;
uniform sampler2D tex;
uniform sampler2D normalmap;
uniform bool enableNormalmap;
uniform int blendMode;
uniform float blendFactor;

uniform int pointLightAmount;
uniform PointLight pointLight[MAX_POINT_LIGHTS];
uniform bool enableDirectionallight;
uniform DirectionalLight directionallight;

uniform float velocityScale;
uniform float deltaTime;
uniform float z_far;

uniform float disM;
uniform vec3 axis;

// Distances are divided by this before the falloff.
const float kLightDistanceUnit = 5.0;
// The sky shell measures its far lights in world units.
const float kSkyDistanceUnit = 1.0;
// Radians of twist per object unit along the twirl axis, per unit of disM.
const float kTwirlRate = 0.25;

// How a fragment program blends: by the material's blendMode, or its own.
const int kByMaterial = 0;
const int kAlphaBlended = 1;
const int kAdditive = 2;

// What the vertex programs hand to the fragment programs (declared "out" in
// the vertex programs and "in" in the fragment programs).
#define SURFACE_VARYINGS(direction) \
  direction Varyings {              \
    vec3 worldPosition;             \
    vec3 normal;                    \
    vec3 tangent;                   \
    vec3 binormal;                  \
    vec2 uv0;                       \
    vec2 uv1;                       \
    vec4 clip;                      \
    vec4 previousClip;              \
    float viewDepth;                \
    vec3 viewNormal;                \
    flat vec3 eye;                  \
  } surface

struct Surface {
  vec3 worldPosition;
  vec3 normal;
  vec3 tangent;
  vec3 binormal;
  vec2 uv0;
  vec2 uv1;
  vec4 clip;
  vec4 previousClip;
  float viewDepth;
  vec3 viewNormal;
  vec3 eye;
};

// ---- vertex side ---------------------------------------------------------

// The camera position. The view is viewProjection x projectionInv; its
// rotation rows are orthonormal, so the eye is -(translation x rotation^T).
vec3 eyePosition(out mat4 view) {
  view = projectionInv * viewProjection;
  const vec3 t = view[3].xyz;
  return -vec3(dot(t, view[0].xyz), dot(t, view[1].xyz), dot(t, view[2].xyz));
}

// Rodrigues' rotation of v about the unit axis k by the angle a.
vec3 turn(vec3 v, vec3 k, float a) {
  const float c = cos(a), s = sin(a);
  return v * c + cross(k, v) * s + k * dot(k, v) * (1.0 - c);
}

// Everything the fragment programs need of one object-space vertex.
Surface surfaceOf(vec3 p, vec3 n, vec3 t, vec3 b, vec2 uv0, vec2 uv1) {
  Surface s;
  const vec4 position = vec4(p, 1.0);
  s.clip = worldViewProjection * position;
  // velocityTransform is current minus previous world x viewProjection.
  s.previousClip = s.clip - velocityTransform * position;
  const vec4 w = world * position;
  s.worldPosition = abs(w.w) > 1e-6 ? w.xyz / w.w : w.xyz;
  // Normals go through the inverse transpose of the world matrix.
  s.normal = (vec4(n, 0.0) * worldInv).xyz;
  s.tangent = (world * vec4(t, 0.0)).xyz;
  s.binormal = (world * vec4(b, 0.0)).xyz;
  s.uv0 = uv0;
  s.uv1 = uv1;
  const vec4 v = worldView * position;
  s.viewDepth = abs(v.w) > 1e-6 ? v.z / v.w : v.z;
  mat4 view;
  s.eye = eyePosition(view);
  s.viewNormal = (view * vec4(s.normal, 0.0)).xyz;
  return s;
}

#define STORE_SURFACE(s)                  \
  surface.worldPosition = s.worldPosition; \
  surface.normal = s.normal;               \
  surface.tangent = s.tangent;             \
  surface.binormal = s.binormal;           \
  surface.uv0 = s.uv0;                     \
  surface.uv1 = s.uv1;                     \
  surface.clip = s.clip;                   \
  surface.previousClip = s.previousClip;   \
  surface.viewDepth = s.viewDepth;         \
  surface.viewNormal = s.viewNormal;       \
  surface.eye = s.eye;                     \
  gl_Position = s.clip

// ---- fragment side -------------------------------------------------------

// v scaled to length 1, or zero when it has no length (no tangent frame).
vec3 unitOrZero(vec3 v) { return dot(v, v) > 1e-12 ? normalize(v) : vec3(0.0); }

// The map's x and y tilt the normal along the tangent and the binormal; its
// blue channel is not read, the surface normal itself stands for z. A true
// normal map (z close to 1) bends the same way as when z is decoded, and a
// colour picture used as a map tilts the normal by its colour without ever
// laying it flat into the surface or turning it inwards.
vec3 shadingNormal(Surface s) {
  const vec3 n = normalize(s.normal);
  if (!enableNormalmap) return n;
  const vec2 m = (texture(normalmap, s.uv1).xy * 2.0 - 1.0) * material.bumpiness;
  const vec3 bent = n + unitOrZero(s.tangent) * m.x + unitOrZero(s.binormal) * m.y;
  return dot(bent, bent) > 1e-12 ? normalize(bent) : n;
}

// Light of colour c arriving from the unit direction l (towards the light).
void gather(vec3 n, vec3 v, vec3 l, vec3 c, bool withSpecular, inout vec3 diffuse, inout vec3 specular) {
  const float cosine = dot(n, l);
  float lambert = max(cosine, 0.0);
  if (material.lightBleedEnabled)
    lambert = clamp((cosine + material.lightBleed) / (1.0 + material.lightBleed), 0.0, 1.0);
  diffuse += c * lambert;
  if (withSpecular && cosine > 0.0) {
    const vec3 h = normalize(l + v);
    specular += c * pow(max(dot(n, h), 0.0), max(material.specularPower, 1.0));
  }
}

vec4 shade(Surface s, bool withSpecular, float distanceUnit) {
  const vec3 n = shadingNormal(s);
  const vec3 toEye = s.eye - s.worldPosition;
  const vec3 v = dot(toEye, toEye) > 1e-12 ? normalize(toEye) : n;
  vec3 diffuse = vec3(0.0), specular = vec3(0.0);
  const int count = clamp(pointLightAmount, 0, MAX_POINT_LIGHTS);
  for (int i = 0; i < count; ++i) {
    const vec3 toLight = pointLight[i].position.xyz - s.worldPosition;
    const float d = length(toLight);
    const vec3 l = d > 1e-6 ? toLight / d : n;
    const float falloff = 1.0 / pow(max(d / distanceUnit, 1.0), pointLight[i].power);
    gather(n, v, l, pointLight[i].color.rgb * falloff, withSpecular, diffuse, specular);
  }
  if (enableDirectionallight && dot(directionallight.dir, directionallight.dir) > 1e-12)
    gather(n, v, normalize(-directionallight.dir), directionallight.color.rgb, withSpecular, diffuse, specular);
  if (material.limitIllumination > 0.0) {
    diffuse = min(diffuse, vec3(material.limitIllumination));
    specular = min(specular, vec3(material.limitIllumination));
  }
  // An empty "tex" slot reads as white. Drivers report an unbound slot as
  // 0 x 0 or (Mesa) as a 1 x 1 black dummy, so a picture must be wider
  // than one texel to count.
  const vec4 texel = textureSize(tex, 0).x > 1 ? texture(tex, s.uv0) : vec4(1.0);
  const vec3 colour = texel.rgb * (material.ambient.rgb + environmentAmbient.rgb + material.diffuse.rgb * diffuse) +
                      material.specular.rgb * specular;
  return vec4(colour, clamp(texel.a * blendFactor, 0.0, 1.0));
}

// Screen velocity in texture units per second, scaled and centred on grey.
vec4 velocityOutput(Surface s, float coverage) {
  vec2 motion = vec2(0.0);
  if (s.clip.w > 1e-6 && s.previousClip.w > 1e-6) {
    const vec2 step = s.clip.xy / s.clip.w - s.previousClip.xy / s.previousClip.w;
    motion = vec2(0.5 * step.x, -0.5 * step.y) / max(deltaTime, 1e-3);
  }
  return vec4(clamp(0.5 + velocityScale * motion, 0.0, 1.0), 0.5, coverage);
}

vec4 distortionOutput(Surface s, float strength, float coverage) {
  const vec2 n = dot(s.viewNormal, s.viewNormal) > 1e-12 ? normalize(s.viewNormal).xy : vec2(0.0);
  return vec4(clamp(0.5 + 0.5 * strength * vec2(n.x, -n.y), 0.0, 1.0), 0.5, coverage);
}

// The four outputs of a fragment program of the given blending kind;
// `strength` scales the distortion offset.
void surfaceOutputs(Surface s, vec4 colour, int kind, float strength, out vec4 outColour, out vec4 outVelocity,
                    out float outDepth, out vec4 outDistortion) {
  int blending = kind;
  if (kind == kByMaterial) blending = blendMode == 1 ? kAdditive : blendMode == 2 ? kAlphaBlended : kByMaterial;
  if (blending == kByMaterial) colour.a = 1.0;
  const float coverage = blending == kAdditive ? 0.0 : colour.a;
  outColour = colour;
  outVelocity = velocityOutput(s, coverage);
  outDepth = s.viewDepth;
  outDistortion = distortionOutput(s, strength, coverage);
}

// What every fragment program starts with: the varyings, the outputs, and
// the varyings as a Surface.
#define FRAGMENT_INTERFACE                    \
  SURFACE_VARYINGS(in);                       \
  layout(location = 0) out vec4 outColour;    \
  layout(location = 1) out vec4 outVelocity;  \
  layout(location = 2) out float outDepth;    \
  layout(location = 3) out vec4 outDistortion
#define CURRENT_SURFACE                                                                                   \
  Surface(surface.worldPosition, surface.normal, surface.tangent, surface.binormal, surface.uv0, surface.uv1, \
          surface.clip, surface.previousClip, surface.viewDepth, surface.viewNormal, surface.eye)
#define WRITE_OUTPUTS(s, colour, kind, strength) \
  surfaceOutputs(s, colour, kind, strength, outColour, outVelocity, outDepth, outDistortion)

@vertex solid
SURFACE_VARYINGS(out);
void main() {
  const Surface s = surfaceOf(inPosition, inNormal, inTexCoord2.xyz, inTexCoord3.xyz, inTexCoord0.xy, inTexCoord1.xy);
  STORE_SURFACE(s);
}

@vertex twirl
SURFACE_VARYINGS(out);
void main() {
  const vec3 k = dot(axis, axis) > 1e-12 ? normalize(axis) : vec3(0.0, 1.0, 0.0);
  const float angle = disM * kTwirlRate * dot(inPosition, k);
  const Surface s = surfaceOf(turn(inPosition, k, angle), turn(inNormal, k, angle), turn(inTexCoord2.xyz, k, angle),
                              turn(inTexCoord3.xyz, k, angle), inTexCoord0.xy, inTexCoord1.xy);
  STORE_SURFACE(s);
}

@vertex sky
SURFACE_VARYINGS(out);
void main() {
  Surface s = surfaceOf(inPosition, inNormal, inTexCoord2.xyz, inTexCoord3.xyz, inTexCoord0.xy, inTexCoord1.xy);
  s.viewDepth = z_far;
  s.viewNormal = vec3(0.0);
  STORE_SURFACE(s);
}

@fragment solid
FRAGMENT_INTERFACE;
void main() {
  const Surface s = CURRENT_SURFACE;
  WRITE_OUTPUTS(s, shade(s, true, kLightDistanceUnit), kByMaterial, 1.0);
}

@fragment alpha
FRAGMENT_INTERFACE;
void main() {
  const Surface s = CURRENT_SURFACE;
  WRITE_OUTPUTS(s, shade(s, true, kLightDistanceUnit), kAlphaBlended, 1.0);
}

@fragment additive
FRAGMENT_INTERFACE;
void main() {
  const Surface s = CURRENT_SURFACE;
  WRITE_OUTPUTS(s, shade(s, true, kLightDistanceUnit), kAdditive, 1.0);
}

@fragment twirl
FRAGMENT_INTERFACE;
void main() {
  const Surface s = CURRENT_SURFACE;
  WRITE_OUTPUTS(s, shade(s, true, kLightDistanceUnit), kByMaterial, clamp(disM, 0.0, 1.0));
}

@fragment sky
FRAGMENT_INTERFACE;
void main() {
  const Surface s = CURRENT_SURFACE;
  WRITE_OUTPUTS(s, shade(s, false, kSkyDistanceUnit), kByMaterial, 0.0);
}

@technique SolidObject
@pass p0 vertex=solid fragment=solid

@technique AlphaObject
@pass p0 vertex=solid fragment=alpha AlphaBlendEnable=True SrcBlend=SrcAlpha DestBlend=InvSrcAlpha BlendOp=Add ZWriteEnable=False

@technique AdditiveObject
@pass p0 vertex=solid fragment=additive AlphaBlendEnable=True SrcBlend=SrcAlpha DestBlend=One BlendOp=Add ZWriteEnable=False

@technique TwirlObject
@pass p0 vertex=twirl fragment=twirl

@technique skybox
@pass p0 vertex=sky fragment=sky ZWriteEnable=False

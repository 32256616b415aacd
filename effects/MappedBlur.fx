MappedBlur: motion blur in one full-screen pass. Every pixel gathers the
picture along the strongest motion around it, read from "blurMap", and
weighs what it gathers by depth ("depthTex") and by how far each gathered
point's own smear reaches, so moving things leave translucent trails over
what lies behind them while still things stay sharp.

Blur vector. The map is read as the solid-object effect writes its velocity
output: rg = 0.5 + velocityScale x v, v in texture units per second (u to the
right, v downwards), and 128/255 grey (the clear value) means no motion. The
vector is 2 x radius x (rg - 128/255), in texture units: "radius" is the blur
length for a map at full scale (rg at 0 or 1). With the scenes' velocity
scales this is an exposure: radius 0.01 at velocityScale 1 smears a pixel
over its motion of 1/50 s, 0.4 at velocityScale 0.1 over 0.08 s. A pixel's
smear runs half its vector either way.

Gathering. The pixel takes the longest of its own vector and the vectors
read a quarter and a half radius away in the four directions, and reads the
picture at four points spread evenly over that vector (eight when it is
longer than kLongSmear pixels), centred on the pixel and shifted by a fixed
per-pixel dither so that long smears show grain rather than copies. Each
read point Y counts for this pixel X by
  - Y in front of X: how far Y's own smear reaches past the distance X-Y
    (a fast foreground trails over a still background, the background
    itself is not smeared);
  - Y behind X: how far X's own smear reaches that far (a moving foreground
    turns translucent at its edges, over what is behind it; a still
    foreground takes in nothing from a moving background);
  - both smears covering the distance: fully (things moving together).
"In front" fades into "behind" over kSoftDepth of the nearer depth. Depths
at or below kNothingDrawn (the scene's depth clear value is 128/255; the
cameras' near planes lie at 1) mean nothing was drawn there and count as
infinitely far. Without a depth picture (null reads as 0) everything lies
equally far and only the vectors act. A pixel with no motion around it
(every vector shorter than a pixel) is copied unchanged.

Any picture works as map: the town passes its colour picture, which smears
each pixel along its colour (dark up-left, bright down-right, red to the
right, green downwards; mid-grey stays) by at most 2 x radius, a soft,
streaked glow that follows the light and shade of the picture, with depth
still keeping near and far things apart.

Alpha: the pass is blended ONE / SRCALPHA onto the output cleared to
transparent black, so the result is colour x alpha. Alpha is written as 1:
the blurred colour lands unchanged and the output is an opaque picture.

@sampler tex MinFilter=Linear MagFilter=Linear MipFilter=None AddressU=Clamp AddressV=Clamp
@sampler blurMap MinFilter=Point MagFilter=Point MipFilter=None AddressU=Clamp AddressV=Clamp
@sampler depthTex MinFilter=Point MagFilter=Point MipFilter=None AddressU=Clamp AddressV=Clamp

@common
uniform mat4 worldViewProjection;
uniform sampler2D tex;
uniform sampler2D blurMap;
uniform sampler2D depthTex;
uniform float radius;

@vertex screen
out vec2 uv;
void main() {
  gl_Position = worldViewProjection * vec4(inPosition, 1.0);
  uv = inTexCoord0.xy;
}

@fragment blur
in vec2 uv;
layout(location = 0) out vec4 outColour;

// The map value that means no motion: the 8-bit 0.5 of the scene's clear.
const float kStill = 128.0 / 255.0;
// Depths at or below this mean nothing was drawn.
const float kNothingDrawn = 0.51;
const float kFar = 1.0e30;
// Share of the nearer depth over which "in front" turns into "behind".
const float kSoftDepth = 0.02;
// Smears longer than this many pixels are read at eight points (two groups
// of four), shorter ones at four.
const float kLongSmear = 12.0;

vec2 blurVector(vec2 p) { return 2.0 * radius * (texture(blurMap, p).rg - kStill); }

float depthAt(vec2 p) {
  const float z = texture(depthTex, p).r;
  return z > kNothingDrawn ? z : kFar;
}

// Weight of a point d pixels away under a smear reaching h pixels: falling
// from 1 at the centre to 0 at the reach, and 1 up to the reach, 0 beyond.
float cone(float d, float h) { return clamp(1.0 - d / max(h, 1.0e-3), 0.0, 1.0); }
float cylinder(float d, float h) { return clamp((1.05 * h - d) / (0.1 * h + 1.0e-4), 0.0, 1.0); }

// A fixed dither in 0..1 per pixel.
float dither(vec2 pixel) { return fract(52.9829189 * fract(dot(pixel, vec2(0.06711056, 0.00583715)))); }

// What the pixel knows while it gathers.
struct Gather {
  vec2 vector;  // the smear read along, texture units
  float span;   // its length in pixels
  float zX;     // the pixel's depth
  float hX;     // the reach of its own smear, pixels
  vec2 size;    // the picture in pixels
  vec3 sum;
  float total;
};

// Adds the point at t (-0.5 .. 0.5 of the vector) to the gathering.
void gatherAt(inout Gather g, float t) {
  const vec2 p = uv + g.vector * t;
  const float d = abs(t) * g.span;
  const float zY = depthAt(p);
  const float hY = 0.5 * length(blurVector(p) * g.size);
  const float soft = kSoftDepth * min(g.zX, zY);
  const float inFront = clamp(1.0 - (zY - g.zX) / soft, 0.0, 1.0);
  const float behind = clamp(1.0 - (g.zX - zY) / soft, 0.0, 1.0);
  const float w = inFront * cone(d, hY) + behind * cone(d, g.hX) + 2.0 * cylinder(d, hY) * cylinder(d, g.hX);
  g.sum += w * texture(tex, p).rgb;
  g.total += w;
}

void main() {
  const vec4 centre = texture(tex, uv);
  const vec2 size = vec2(textureSize(tex, 0));
  const vec2 own = blurVector(uv);
  // The strongest motion around: this pixel's and eight reads at a quarter
  // and a half radius in the four directions.
  vec2 strongest = own;
  for (int ring = 1; ring <= 2; ++ring) {
    const float probe = 0.25 * radius * float(ring);
    const vec2 around[4] = vec2[4](vec2(probe, 0.0), vec2(-probe, 0.0), vec2(0.0, probe), vec2(0.0, -probe));
    for (int i = 0; i < 4; ++i) {
      const vec2 v = blurVector(uv + around[i]);
      if (dot(v * size, v * size) > dot(strongest * size, strongest * size)) strongest = v;
    }
  }
  const float span = length(strongest * size);  // pixels
  if (!(span >= 1.0)) {
    outColour = vec4(centre.rgb, 1.0);
    return;
  }
  const float hX = 0.5 * length(own * size);
  Gather g = Gather(strongest, span, depthAt(uv), hX, size, vec3(0.0), 1.0 / max(hX, 0.5));
  g.sum = centre.rgb * g.total;
  // Points spread evenly over the vector, centred on the pixel, all moved by
  // the pixel's dither: t = (k + offset) / 4 - 0.5 per group of four.
  const float shift = dither(gl_FragCoord.xy);
  const bool longSmear = span > kLongSmear;
  const float first = longSmear ? 0.5 * shift : shift;
  for (int k = 0; k < 4; ++k) gatherAt(g, (float(k) + first) * 0.25 - 0.5);
  if (longSmear)
    for (int k = 0; k < 4; ++k) gatherAt(g, (float(k) + first + 0.5) * 0.25 - 0.5);
  outColour = vec4(g.sum / g.total, 1.0);
}

@technique MappedBlur
@pass p0 vertex=screen fragment=blur ZEnable=False ZWriteEnable=False CullMode=None

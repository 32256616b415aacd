MappedBlur: motion blur in one full-screen pass. Every pixel gathers the
picture along its own motion, read from "blurMap", and leaves out what lies
in front of it ("depthTex"), so moving things smear and turn translucent at
their edges over what lies behind them, while still things stay sharp and a
moving background does not take up the still things in front of it.

Blur vector. The map is read as the solid-object effect writes its velocity
output: rg = 0.5 + velocityScale x v, v in texture units per second (u to the
right, v downwards), and 128/255 grey (the clear value) means no motion. The
vector is 2 x radius x (rg - 128/255), in texture units: "radius" is the blur
length for a map at full scale (rg at 0 or 1). With the scenes' velocity
scales this is an exposure: radius 0.01 at velocityScale 1 smears a pixel
over its motion of 1/50 s, 0.4 at velocityScale 0.1 over 0.08 s. A pixel's
smear runs half its vector either way.

Gathering. The pixel reads the picture at kTaps points spread evenly over
its vector, centred on it and shifted by a fixed per-pixel dither, so long
smears show a fine grain rather than copies of the picture. The points are
read unfiltered (nearest pixel): the dither already spreads them, and a
filtered read costs a software rasteriser far more than a plain one. A point counts
fully when it lies at the pixel's depth or behind it and not at all when it
lies in front of it, fading between the two over kSoftDepth of the nearer
depth. Depths at or below kNothingDrawn (the scene's depth clear value is
128/255; the cameras' near planes lie at 1) mean nothing was drawn there and
count as infinitely far. Without a depth picture (null reads as 0)
everything lies equally far and only the vectors act. A pixel with no motion
reads its own point kTaps times and keeps its colour exactly.

What this leaves out, for speed: a pixel only looks along its own motion, so
a fast object smears inside its own outline and a still background next to
it does not show its trail. Every read costs the same on a software
rasteriser whatever the picture holds (it shades blocks of pixels under a
mask and does not skip branches), so the pass makes a fixed 2 + 2 x kTaps
reads per pixel.

Any picture works as map: the town passes its colour picture, which smears
each pixel along its colour (dark up-left, bright down-right, red to the
right, green downwards; mid-grey stays) by at most 2 x radius, a soft,
streaked glow that follows the light and shade of the picture, with depth
still keeping near and far things apart.

Alpha: the pass is blended ONE / SRCALPHA onto the output cleared to
transparent black, so the result is colour x alpha. Alpha is written as 1:
the blurred colour lands unchanged and the output is an opaque picture.

@sampler tex MinFilter=Point MagFilter=Point MipFilter=None AddressU=Clamp AddressV=Clamp
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
// Share of the nearer depth over which "behind" turns into "in front".
const float kSoftDepth = 0.02;
// Points read along the vector.
const int kTaps = 6;

float depthAt(vec2 p) {
  const float z = texture(depthTex, p).r;
  return z > kNothingDrawn ? z : kFar;
}

// A fixed dither in 0..1 per pixel.
float dither(vec2 pixel) { return fract(52.9829189 * fract(dot(pixel, vec2(0.06711056, 0.00583715)))); }

void main() {
  const vec2 vector = 2.0 * radius * (texture(blurMap, uv).rg - kStill);
  const float zX = depthAt(uv);
  const float shift = dither(gl_FragCoord.xy);
  vec3 sum = vec3(0.0);
  float total = 0.0;
  for (int k = 0; k < kTaps; ++k) {
    // t = (k + shift) / kTaps - 0.5: evenly over the vector, centred.
    const vec2 p = uv + vector * ((float(k) + shift) / float(kTaps) - 0.5);
    const float zY = depthAt(p);
    // 1 behind or level, 0 in front; a trace more so that the sum is never
    // empty.
    const float w = clamp(1.0 - (zX - zY) / (kSoftDepth * min(zX, zY)), 0.0, 1.0) + 1.0e-4;
    sum += w * texture(tex, p).rgb;
    total += w;
  }
  outColour = vec4(sum / total, 1.0);
}

@technique MappedBlur
@pass p0 vertex=screen fragment=blur ZEnable=False ZWriteEnable=False CullMode=None

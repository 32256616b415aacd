HSVEffect: turns the hue of a picture and scales its saturation and value,
in one full-screen pass over the post-processing quad.

Colour model: HSV on the picture's stored (gamma) values. Value is the
largest of r, g and b, saturation the spread (max - min) / max, hue the angle
in degrees on the six-sided colour wheel (red 0, green 120, blue 240).
  hue         degrees added to every pixel's hue (any sign; the caller keeps
              it within (-360, 360)). 120 turns pure red into pure green.
  saturation  multiplies the saturation, which is then held in 0..1: 0 gives
              the grey of the pixel's value, anything above 1 drives colours
              towards their pure hue (5 makes every colour of at least a
              fifth of full saturation a pure hue; greys stay grey).
  value       multiplies the value (at least 0). Above 1 brightens, and the
              8-bit target clips each channel at full: with 5 all but dark
              colours glare, pale ones burning out to white and saturated
              ones to the brightest form of their hue. Black stays black
              whatever the values.

Alpha: the pass is blended ONE / SRCALPHA onto the output cleared to
transparent black, so the result is colour x alpha. Alpha is written as 1:
the adjusted colour lands unchanged and the output is an opaque picture.
Parts of the source that nothing covered are transparent black there and
stay black here.

"tex" is the source renderable's output; an empty slot (null) reads as black.

@sampler tex MinFilter=Point MagFilter=Point MipFilter=None AddressU=Clamp AddressV=Clamp

@common
uniform mat4 worldViewProjection;
uniform sampler2D tex;
uniform float hue;
uniform float saturation;
uniform float value;

@vertex screen
out vec2 uv;
void main() {
  gl_Position = worldViewProjection * vec4(inPosition, 1.0);
  uv = inTexCoord0.xy;
}

@fragment adjust
in vec2 uv;
layout(location = 0) out vec4 outColour;

// (hue in degrees 0..360, saturation, value) of an RGB colour.
vec3 toHsv(vec3 c) {
  const float high = max(c.r, max(c.g, c.b));
  const float low = min(c.r, min(c.g, c.b));
  const float spread = high - low;
  float h = 0.0;
  if (spread > 0.0) {
    if (high == c.r) h = (c.g - c.b) / spread;
    else if (high == c.g) h = 2.0 + (c.b - c.r) / spread;
    else h = 4.0 + (c.r - c.g) / spread;
  }
  return vec3(mod(60.0 * h, 360.0), high > 0.0 ? spread / high : 0.0, high);
}

// Back to RGB: each channel falls from v by v*s over the part of the wheel
// where it is not the leading colour.
vec3 toRgb(vec3 hsv) {
  const vec3 k = mod(vec3(5.0, 3.0, 1.0) + hsv.x / 60.0, 6.0);
  return hsv.z - hsv.z * hsv.y * clamp(min(k, 4.0 - k), 0.0, 1.0);
}

void main() {
  const vec3 hsv = toHsv(texture(tex, uv).rgb);
  const vec3 adjusted = vec3(mod(hsv.x + hue, 360.0), clamp(hsv.y * saturation, 0.0, 1.0), max(hsv.z * value, 0.0));
  outColour = vec4(toRgb(adjusted), 1.0);
}

@technique HSVEffect
@pass p0 vertex=screen fragment=adjust ZEnable=False ZWriteEnable=False CullMode=None

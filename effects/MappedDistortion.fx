MappedDistortion: moves a picture by a per-pixel map in one full-screen pass.

Map. "distortionMap" is read like the solid-object effect's distortion and
velocity outputs: m = 2 (rg - 128/255), 128/255 being the 8-bit 0.5 of the
scenes' clear value, so mid-grey means no move; x is to the right and y
downwards. The map is read once, filtered, at the corner of the pixel's
texel: the mean of a 2 x 2 box around it.

Move. "timedelta" turns the map into the phase of a wave, m / timedelta
radians, and the picture's content moves by
    kReach x factor x sin(m / timedelta)   texture units per axis,
that is, each pixel shows the picture from that far against the move.
  - A map small against timedelta (the workshop's velocity map over 0.5 or
    1.5) gives about kReach x factor / timedelta x m: the move grows with
    the map, and a shorter time gives a stronger move.
  - A map large against timedelta (normals or a picture over 0.03) folds
    over: the move swings back and forth as the map changes, so smooth
    changes in the map (the shading across a wall, a curved surface) become
    ripples along its contours. A picture used as its own map ripples along
    its own light and shade.
  - Where the phase turns by more than a quarter turn over kSmoothing
    pixels (fine texture, silhouettes) the wave would only scatter pixels:
    it fades out there, fully at half a turn, which keeps the ripple free of
    noise. The turn comes from the phase's screen-space derivatives, so it
    costs no further reads.
"factor" sets the size and sign of the move: kReach = 2 makes factor 0.01
move the picture by at most 2 % of its size. A timedelta at or below 0.001
counts as 0.001.

Alpha: the pass is blended ONE / SRCALPHA onto the output cleared to
transparent black, so the result is colour x alpha. Alpha is written as 1:
the moved picture lands unchanged and the output is an opaque picture.
Reads beyond the picture's edges take the edge pixels.

@sampler tex MinFilter=Linear MagFilter=Linear MipFilter=None AddressU=Clamp AddressV=Clamp
@sampler distortionMap MinFilter=Linear MagFilter=Linear MipFilter=None AddressU=Clamp AddressV=Clamp

@common
uniform mat4 worldViewProjection;
uniform sampler2D tex;
uniform sampler2D distortionMap;
uniform float factor;
uniform float timedelta;

@vertex screen
out vec2 uv;
void main() {
  gl_Position = worldViewProjection * vec4(inPosition, 1.0);
  uv = inTexCoord0.xy;
}

@fragment distort
in vec2 uv;
layout(location = 0) out vec4 outColour;

const float kStill = 128.0 / 255.0;
// Texture units moved per unit of factor at the crest of the wave.
const float kReach = 2.0;
// Pixels over which the phase may turn by a quarter turn before the wave
// starts to fade.
const float kSmoothing = 3.0;
const float kPi = 3.14159265;

void main() {
  const vec2 corner = 0.5 / vec2(textureSize(distortionMap, 0));
  const vec2 phase = (texture(distortionMap, uv + corner).rg - kStill) * (2.0 / max(timedelta, 0.001));
  // How far the phase turns across kSmoothing pixels, per direction of move.
  const vec2 turn = kSmoothing * max(abs(dFdx(phase)), abs(dFdy(phase)));
  const vec2 fade = clamp((kPi - turn) / (0.5 * kPi), 0.0, 1.0);
  const vec2 move = kReach * factor * fade * sin(phase);
  outColour = vec4(texture(tex, uv - move).rgb, 1.0);
}

@technique MappedDistortion
@pass p0 vertex=screen fragment=distort ZEnable=False ZWriteEnable=False CullMode=None

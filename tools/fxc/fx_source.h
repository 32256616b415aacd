// Parser for effect sources (effects/*.fx): a GLSL 450 text cut into sections
// by directive lines that start with '@'. It produces the container
// description that velm-fxc writes as .fxo; it does not compile GLSL.
//
//   @sampler tex MinFilter=Linear MagFilter=Linear MipFilter=Linear AddressU=Wrap
//   @common                 GLSL shared by every program (uniforms, helpers)
//   @vertex name            a vertex program body (defines main)
//   @fragment name          a fragment program body (defines main)
//   @technique Name
//   @pass name vertex=a fragment=b ZWriteEnable=False SrcBlend=SrcAlpha ...
//
// Text before the first section is a comment block. Vertex programs see the
// inputs inPosition (location 0), inNormal (1) and inTexCoord0..3 (2..5).
#pragma once

#include <string>

#include "platform/gfx/effect_format.h"

namespace fxc {

bool parseFxSource(const std::string& text, const std::string& fileName, gfx::EffectDesc* out,
                   std::string* error);

}  // namespace fxc

#include "tools/fxc/fx_source.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace fxc {
namespace {

using gfx::RenderState;
using gfx::SamplerState;

enum class ValueKind { Bool, Blend, BlendOp, Cull, Compare, Number, Address, Filter };

struct NamedValue {
  const char* name;
  uint32_t value;
};

const std::map<std::string, std::pair<RenderState, ValueKind>>& renderStates() {
  static const std::map<std::string, std::pair<RenderState, ValueKind>> table = {
      {"ZEnable", {RenderState::ZEnable, ValueKind::Bool}},
      {"ZWriteEnable", {RenderState::ZWriteEnable, ValueKind::Bool}},
      {"ZFunc", {RenderState::ZFunc, ValueKind::Compare}},
      {"AlphaBlendEnable", {RenderState::AlphaBlendEnable, ValueKind::Bool}},
      {"SrcBlend", {RenderState::SrcBlend, ValueKind::Blend}},
      {"DestBlend", {RenderState::DestBlend, ValueKind::Blend}},
      {"BlendOp", {RenderState::BlendOp, ValueKind::BlendOp}},
      {"CullMode", {RenderState::CullMode, ValueKind::Cull}},
      {"ColorWriteEnable", {RenderState::ColorWriteEnable, ValueKind::Number}},
      {"TextureFactor", {RenderState::TextureFactor, ValueKind::Number}},
  };
  return table;
}

const std::map<std::string, std::pair<SamplerState, ValueKind>>& samplerStates() {
  static const std::map<std::string, std::pair<SamplerState, ValueKind>> table = {
      {"AddressU", {SamplerState::AddressU, ValueKind::Address}},
      {"AddressV", {SamplerState::AddressV, ValueKind::Address}},
      {"MagFilter", {SamplerState::MagFilter, ValueKind::Filter}},
      {"MinFilter", {SamplerState::MinFilter, ValueKind::Filter}},
      {"MipFilter", {SamplerState::MipFilter, ValueKind::Filter}},
  };
  return table;
}

std::optional<uint32_t> parseValue(ValueKind kind, const std::string& text) {
  static const std::map<ValueKind, std::vector<NamedValue>> names = {
      {ValueKind::Bool, {{"False", 0}, {"True", 1}}},
      {ValueKind::Blend,
       {{"Zero", 1}, {"One", 2}, {"SrcColor", 3}, {"InvSrcColor", 4}, {"SrcAlpha", 5},
        {"InvSrcAlpha", 6}, {"DestAlpha", 7}, {"InvDestAlpha", 8}, {"DestColor", 9},
        {"InvDestColor", 10}}},
      {ValueKind::BlendOp, {{"Add", 1}, {"Subtract", 2}, {"RevSubtract", 3}, {"Min", 4}, {"Max", 5}}},
      {ValueKind::Cull, {{"None", 1}, {"CW", 2}, {"CCW", 3}}},
      {ValueKind::Compare,
       {{"Never", 1}, {"Less", 2}, {"Equal", 3}, {"LessEqual", 4}, {"Greater", 5},
        {"NotEqual", 6}, {"GreaterEqual", 7}, {"Always", 8}}},
      {ValueKind::Address, {{"Wrap", 1}, {"Mirror", 2}, {"Clamp", 3}, {"Border", 4}}},
      {ValueKind::Filter, {{"None", 0}, {"Point", 1}, {"Linear", 2}, {"Anisotropic", 3}}},
      {ValueKind::Number, {}},
  };
  for (const NamedValue& nv : names.at(kind))
    if (text == nv.name) return nv.value;
  if (kind == ValueKind::Number && !text.empty()) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (*end == '\0' && v <= 0xFFFFFFFFul) return static_cast<uint32_t>(v);
  }
  return std::nullopt;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

constexpr const char* kVertexInputs =
    "layout(location = 0) in vec3 inPosition;\n"
    "layout(location = 1) in vec3 inNormal;\n"
    "layout(location = 2) in vec4 inTexCoord0;\n"
    "layout(location = 3) in vec4 inTexCoord1;\n"
    "layout(location = 4) in vec4 inTexCoord2;\n"
    "layout(location = 5) in vec4 inTexCoord3;\n";

// A run of GLSL lines with the line number of its first line in the .fx file.
struct Chunk {
  int firstLine = 0;
  std::string text;
};

std::string lineMarker(const Chunk& c) { return "#line " + std::to_string(c.firstLine) + "\n"; }

}  // namespace

bool parseFxSource(const std::string& text, const std::string& fileName, gfx::EffectDesc* out,
                   std::string* error) {
  std::vector<Chunk> common;
  std::map<std::string, Chunk> vertexPrograms, fragmentPrograms;
  struct PendingPass {
    gfx::PassDesc desc;
    std::string vertex, fragment;
    int line;
  };
  struct PendingTechnique {
    std::string name;
    std::vector<PendingPass> passes;
  };
  std::vector<PendingTechnique> techniques;
  gfx::EffectDesc effect;

  Chunk* current = nullptr;  // where GLSL lines go; null before the first section
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = fileName + ":" + std::to_string(lineNo) + ": " + why;
    return false;
  };

  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] != '@') {
      if (current) current->text += line + "\n";
      continue;
    }
    const std::vector<std::string> w = words(line);
    const std::string& directive = w[0];
    current = nullptr;
    if (directive == "@effect") {
      if (w.size() != 2) return fail("@effect takes one name");
      effect.name = w[1];
    } else if (directive == "@common") {
      if (w.size() != 1) return fail("@common takes no arguments");
      common.push_back({lineNo + 1, {}});
      current = &common.back();
    } else if (directive == "@vertex" || directive == "@fragment") {
      if (w.size() != 2) return fail(directive + " takes one program name");
      auto& programs = directive == "@vertex" ? vertexPrograms : fragmentPrograms;
      auto [it, added] = programs.emplace(w[1], Chunk{lineNo + 1, {}});
      if (!added) return fail("program '" + w[1] + "' defined twice");
      current = &it->second;
    } else if (directive == "@sampler") {
      if (w.size() < 2) return fail("@sampler needs a parameter name");
      gfx::SamplerDesc sampler{w[1], {}};
      for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        const auto it = samplerStates().find(w[i].substr(0, eq));
        if (eq == std::string::npos || it == samplerStates().end())
          return fail("unknown sampler state '" + w[i] + "'");
        const auto value = parseValue(it->second.second, w[i].substr(eq + 1));
        if (!value) return fail("bad value in '" + w[i] + "'");
        sampler.states.emplace_back(it->second.first, *value);
      }
      effect.samplers.push_back(std::move(sampler));
    } else if (directive == "@technique") {
      if (w.size() != 2) return fail("@technique takes one name");
      for (const auto& t : techniques)
        if (t.name == w[1]) return fail("technique '" + w[1] + "' defined twice");
      techniques.push_back({w[1], {}});
    } else if (directive == "@pass") {
      if (techniques.empty()) return fail("@pass outside a technique");
      if (w.size() < 2) return fail("@pass needs a name");
      PendingPass pass{{w[1], {}, {}, {}}, {}, {}, lineNo};
      for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        if (eq == std::string::npos) return fail("expected key=value, got '" + w[i] + "'");
        const std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
        if (key == "vertex") {
          pass.vertex = value;
        } else if (key == "fragment") {
          pass.fragment = value;
        } else {
          const auto it = renderStates().find(key);
          if (it == renderStates().end()) return fail("unknown render state '" + key + "'");
          const auto parsed = parseValue(it->second.second, value);
          if (!parsed) return fail("bad value in '" + w[i] + "'");
          pass.desc.states.emplace_back(it->second.first, *parsed);
        }
      }
      if (pass.vertex.empty() || pass.fragment.empty())
        return fail("pass '" + w[1] + "' needs vertex= and fragment=");
      techniques.back().passes.push_back(std::move(pass));
    } else {
      return fail("unknown directive " + directive);
    }
  }

  if (techniques.empty()) return fail("no technique");
  std::string commonText;
  for (const Chunk& c : common) commonText += lineMarker(c) + c.text;
  for (auto& t : techniques) {
    if (t.passes.empty()) {
      if (error) *error = fileName + ": technique '" + t.name + "' has no pass";
      return false;
    }
    gfx::TechniqueDesc technique{t.name, {}};
    for (auto& p : t.passes) {
      lineNo = p.line;
      const auto vs = vertexPrograms.find(p.vertex);
      const auto fs = fragmentPrograms.find(p.fragment);
      if (vs == vertexPrograms.end()) return fail("no vertex program '" + p.vertex + "'");
      if (fs == fragmentPrograms.end()) return fail("no fragment program '" + p.fragment + "'");
      p.desc.vertexSource = std::string("#version 450 core\n") + kVertexInputs + commonText +
                            lineMarker(vs->second) + vs->second.text;
      p.desc.fragmentSource =
          std::string("#version 450 core\n") + commonText + lineMarker(fs->second) + fs->second.text;
      technique.passes.push_back(std::move(p.desc));
    }
    effect.techniques.push_back(std::move(technique));
  }
  *out = std::move(effect);
  return true;
}

}  // namespace fxc

// Effects on OpenGL: one linked program per pass; parameters are the active
// uniforms of all programs, found by GLSL reflection, so "material.ambient"
// and "pointLight[0].position" are addressed exactly as GL reports them.
// Values live in the effect and are uploaded at beginPass and commitChanges.
#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/gfx/gl_device_impl.h"

namespace gfx {

class GlEffect final : public Effect {
 public:
  explicit GlEffect(GlDevice* device) : device_(device) {
    device_->objectCreated();
    device_->effectCreated(this);
  }
  ~GlEffect() override;

  Result build(const void* bytes, size_t size);

  Result setTechnique(const char* name) override;
  Result begin(uint32_t* passCount, uint32_t flags) override;
  Result beginPass(uint32_t pass) override;
  Result commitChanges() override;
  Result endPass() override;
  Result end() override;

  Result setFloat(const char* name, float value) override { return setFloats(name, &value, 1); }
  Result setFloatArray(const char* name, const float* values, uint32_t count) override {
    return values ? setFloats(name, values, count) : Result::InvalidCall;
  }
  Result setVector(const char* name, const float value[4]) override {
    return value ? setFloats(name, value, 4) : Result::InvalidCall;
  }
  Result setMatrix(const char* name, const Matrix4& value) override {
    return setFloats(name, &value.m[0][0], 16);
  }
  Result setTexture(const char* name, Texture* texture) override;
  Result setInt(const char* name, int32_t value) override { return setInts(name, value); }
  Result setBool(const char* name, bool value) override { return setInts(name, value ? 1 : 0); }

  void forgetTexture(GlTexture* texture) {
    for (auto& [name, p] : parameters_)
      if (p.texture == texture) p.texture = nullptr;
  }

 private:
  struct Parameter {
    GLenum type = 0;
    GLint arraySize = 1;
    bool isSampler = false;
    bool isInteger = false;
    std::vector<float> floats;
    std::vector<GLint> ints;
    GlTexture* texture = nullptr;
    uint32_t unit = 0;  // texture unit of a sampler
    bool dirty = true;
    std::vector<std::pair<size_t, GLint>> locations;  // (program index, location)
  };
  struct Pass {
    PassDesc desc;
    GLuint program = 0;
  };
  struct Technique {
    std::string name;
    std::vector<Pass> passes;
  };

  Parameter* find(const char* name);
  Result setFloats(const char* name, const float* values, uint32_t count);
  Result setInts(const char* name, GLint value);
  void reflect(size_t programIndex, GLuint program);
  void upload(Parameter& p, size_t programIndex, GLuint program, GLint location);
  void uploadAll(bool onlyDirty);
  const SamplerDesc* samplerDesc(const std::string& name) const;

  GlDevice* device_;
  EffectDesc desc_;
  std::vector<Technique> techniques_;
  std::vector<GLuint> programs_;  // index = program index used by Parameter::locations
  std::map<std::string, Parameter> parameters_;
  std::map<std::string, std::string> aliases_;  // "x[0]" -> "x" for arrays of plain types
  uint32_t nextUnit_ = 0;

  size_t technique_ = 0;
  bool begun_ = false;
  int activePass_ = -1;
  size_t activeProgramIndex_ = 0;
  // States saved by begin() and put back by end().
  std::vector<std::pair<RenderState, uint32_t>> savedRender_;
  std::vector<std::tuple<uint32_t, SamplerState, uint32_t>> savedSampler_;
  std::vector<std::pair<uint32_t, Texture*>> savedTextures_;
};

Effect* createGlEffect(GlDevice* device, const void* bytes, size_t size, Result* result) {
  auto* effect = new GlEffect(device);
  *result = effect->build(bytes, size);
  if (failed(*result)) {
    delete effect;
    return nullptr;
  }
  return effect;
}

void effectForgetTexture(GlEffect* effect, GlTexture* texture) { effect->forgetTexture(texture); }

GlEffect::~GlEffect() {
  if (begun_) end();
  for (GLuint program : programs_) {
    if (device_->effectProgram() == program) device_->useEffectProgram(0);
    glDeleteProgram(program);
  }
  device_->effectDestroyed(this);
  device_->objectDestroyed();
}

Result GlEffect::build(const void* bytes, size_t size) {
  std::string error;
  if (!parseEffect(bytes, size, &desc_, &error)) return Result::InvalidData;
  if (desc_.techniques.empty()) return Result::InvalidData;
  for (const TechniqueDesc& t : desc_.techniques) {
    Technique technique{t.name, {}};
    for (const PassDesc& p : t.passes) {
      std::string log;
      const GLuint program = compileGlProgram(p.vertexSource.c_str(), p.fragmentSource.c_str(), &log);
      if (!program) {
        std::fprintf(stderr, "effect %s, technique %s, pass %s: %s\n", desc_.name.c_str(),
                     t.name.c_str(), p.name.c_str(), log.c_str());
        return Result::CompileFailed;
      }
      programs_.push_back(program);
      reflect(programs_.size() - 1, program);
      technique.passes.push_back({p, program});
    }
    techniques_.push_back(std::move(technique));
  }
  return Result::Ok;
}

void GlEffect::reflect(size_t programIndex, GLuint program) {
  GLint count = 0;
  glGetProgramInterfaceiv(program, GL_UNIFORM, GL_ACTIVE_RESOURCES, &count);
  for (GLint i = 0; i < count; ++i) {
    const GLenum props[] = {GL_TYPE, GL_ARRAY_SIZE, GL_LOCATION, GL_BLOCK_INDEX};
    GLint values[4] = {};
    glGetProgramResourceiv(program, GL_UNIFORM, static_cast<GLuint>(i), 4, props, 4, nullptr, values);
    if (values[3] != -1 || values[2] < 0) continue;  // block members and built-ins
    char buffer[256] = {};
    glGetProgramResourceName(program, GL_UNIFORM, static_cast<GLuint>(i), sizeof buffer, nullptr, buffer);
    std::string name = buffer;
    // Arrays of plain values are reported as "x[0]"; they are set as "x".
    if (name.size() > 3 && name.ends_with("[0]")) {
      std::string base = name.substr(0, name.size() - 3);
      aliases_[name] = base;
      name = base;
    }
    Parameter& p = parameters_[name];
    if (p.type == 0) {
      p.type = static_cast<GLenum>(values[0]);
      p.arraySize = std::max(values[1], 1);
      int components = 1;
      switch (p.type) {
        case GL_FLOAT_VEC2: components = 2; break;
        case GL_FLOAT_VEC3: components = 3; break;
        case GL_FLOAT_VEC4: components = 4; break;
        case GL_FLOAT_MAT3: components = 9; break;
        case GL_FLOAT_MAT4: components = 16; break;
        case GL_INT_VEC2: case GL_BOOL_VEC2: components = 2; break;
        case GL_INT_VEC3: case GL_BOOL_VEC3: components = 3; break;
        case GL_INT_VEC4: case GL_BOOL_VEC4: components = 4; break;
        default: break;
      }
      p.isSampler = p.type == GL_SAMPLER_2D;
      p.isInteger = !p.isSampler && (p.type == GL_INT || p.type == GL_BOOL || p.type == GL_INT_VEC2 ||
                                     p.type == GL_INT_VEC3 || p.type == GL_INT_VEC4 || p.type == GL_BOOL_VEC2 ||
                                     p.type == GL_BOOL_VEC3 || p.type == GL_BOOL_VEC4);
      const size_t n = static_cast<size_t>(components) * static_cast<size_t>(p.arraySize);
      if (p.isInteger) p.ints.assign(n, 0);
      else if (!p.isSampler) p.floats.assign(n, 0.0f);
      if (p.isSampler) p.unit = nextUnit_++;
    }
    p.locations.emplace_back(programIndex, values[2]);
    if (p.isSampler) glProgramUniform1i(program, values[2], static_cast<GLint>(p.unit));
  }
}

GlEffect::Parameter* GlEffect::find(const char* name) {
  if (!name) return nullptr;
  auto it = parameters_.find(name);
  if (it != parameters_.end()) return &it->second;
  auto alias = aliases_.find(name);
  return alias == aliases_.end() ? nullptr : &parameters_[alias->second];
}

Result GlEffect::setFloats(const char* name, const float* values, uint32_t count) {
  Parameter* p = find(name);
  if (!p) return Result::NotFound;
  if (p->isSampler) return Result::InvalidCall;
  if (p->isInteger) {
    for (size_t i = 0; i < std::min<size_t>(count, p->ints.size()); ++i) p->ints[i] = static_cast<GLint>(values[i]);
  } else {
    std::copy_n(values, std::min<size_t>(count, p->floats.size()), p->floats.begin());
  }
  p->dirty = true;
  return Result::Ok;
}

Result GlEffect::setInts(const char* name, GLint value) {
  Parameter* p = find(name);
  if (!p) return Result::NotFound;
  if (p->isSampler) return Result::InvalidCall;
  if (p->isInteger) p->ints[0] = value;
  else p->floats[0] = static_cast<float>(value);
  p->dirty = true;
  return Result::Ok;
}

Result GlEffect::setTexture(const char* name, Texture* texture) {
  Parameter* p = find(name);
  if (!p) return Result::NotFound;
  if (!p->isSampler) return Result::InvalidCall;
  p->texture = static_cast<GlTexture*>(texture);
  p->dirty = true;
  return Result::Ok;
}

Result GlEffect::setTechnique(const char* name) {
  if (!name || begun_) return Result::InvalidCall;
  for (size_t i = 0; i < techniques_.size(); ++i) {
    if (techniques_[i].name == name) {
      technique_ = i;
      return Result::Ok;
    }
  }
  return Result::NotFound;
}

const SamplerDesc* GlEffect::samplerDesc(const std::string& name) const {
  for (const SamplerDesc& s : desc_.samplers)
    if (s.name == name) return &s;
  return nullptr;
}

Result GlEffect::begin(uint32_t* passCount, uint32_t) {
  if (begun_) return Result::InvalidCall;
  const Technique& t = techniques_[technique_];
  if (passCount) *passCount = static_cast<uint32_t>(t.passes.size());
  // Save every state a pass of this technique sets, and the texture units the
  // effect's samplers use, so end() can put them back.
  savedRender_.clear();
  savedSampler_.clear();
  savedTextures_.clear();
  for (const Pass& pass : t.passes) {
    for (const auto& [state, value] : pass.desc.states) {
      const bool seen = std::any_of(savedRender_.begin(), savedRender_.end(),
                                    [&](const auto& s) { return s.first == state; });
      uint32_t current = 0;
      if (!seen && succeeded(device_->getRenderState(state, &current))) savedRender_.emplace_back(state, current);
    }
  }
  for (const auto& [name, p] : parameters_) {
    if (!p.isSampler) continue;
    Texture* current = nullptr;
    device_->getTexture(p.unit, &current);
    savedTextures_.emplace_back(p.unit, current);
    if (const SamplerDesc* s = samplerDesc(name)) {
      for (const auto& [state, value] : s->states) {
        uint32_t currentValue = 0;
        if (succeeded(device_->getSamplerState(p.unit, state, &currentValue)))
          savedSampler_.emplace_back(p.unit, state, currentValue);
      }
    }
  }
  begun_ = true;
  return Result::Ok;
}

Result GlEffect::beginPass(uint32_t pass) {
  const Technique& t = techniques_[technique_];
  if (!begun_ || activePass_ >= 0 || pass >= t.passes.size()) return Result::InvalidCall;
  activePass_ = static_cast<int>(pass);
  const Pass& p = t.passes[pass];
  activeProgramIndex_ = static_cast<size_t>(std::find(programs_.begin(), programs_.end(), p.program) - programs_.begin());
  for (const auto& [state, value] : p.desc.states) device_->setRenderState(state, value);
  for (const SamplerDesc& s : desc_.samplers) {
    auto it = parameters_.find(s.name);
    if (it == parameters_.end()) continue;
    for (const auto& [state, value] : s.states) device_->setSamplerState(it->second.unit, state, value);
  }
  device_->useEffectProgram(p.program);
  uploadAll(false);
  return Result::Ok;
}

Result GlEffect::commitChanges() {
  if (activePass_ < 0) return Result::InvalidCall;
  uploadAll(true);
  return Result::Ok;
}

Result GlEffect::endPass() {
  if (activePass_ < 0) return Result::InvalidCall;
  activePass_ = -1;
  device_->useEffectProgram(0);
  return Result::Ok;
}

Result GlEffect::end() {
  if (!begun_) return Result::InvalidCall;
  if (activePass_ >= 0) endPass();
  for (const auto& [state, value] : savedRender_) device_->setRenderState(state, value);
  for (const auto& [unit, state, value] : savedSampler_) device_->setSamplerState(unit, state, value);
  for (const auto& [unit, texture] : savedTextures_) device_->setTexture(unit, texture);
  begun_ = false;
  return Result::Ok;
}

void GlEffect::uploadAll(bool onlyDirty) {
  const GLuint program = programs_[activeProgramIndex_];
  for (auto& [name, p] : parameters_) {
    if (onlyDirty && !p.dirty) continue;
    for (const auto& [index, location] : p.locations)
      if (index == activeProgramIndex_) upload(p, index, program, location);
    if (p.isSampler) device_->setTexture(p.unit, p.texture);
    p.dirty = false;
  }
}

void GlEffect::upload(Parameter& p, size_t, GLuint program, GLint location) {
  const GLsizei n = p.arraySize;
  switch (p.type) {
    case GL_FLOAT: glProgramUniform1fv(program, location, n, p.floats.data()); break;
    case GL_FLOAT_VEC2: glProgramUniform2fv(program, location, n, p.floats.data()); break;
    case GL_FLOAT_VEC3: glProgramUniform3fv(program, location, n, p.floats.data()); break;
    case GL_FLOAT_VEC4: glProgramUniform4fv(program, location, n, p.floats.data()); break;
    // Row-vector matrices go up as they are: GLSL's M * v then equals v x M.
    case GL_FLOAT_MAT3: glProgramUniformMatrix3fv(program, location, n, GL_FALSE, p.floats.data()); break;
    case GL_FLOAT_MAT4: glProgramUniformMatrix4fv(program, location, n, GL_FALSE, p.floats.data()); break;
    case GL_INT: case GL_BOOL: glProgramUniform1iv(program, location, n, p.ints.data()); break;
    case GL_INT_VEC2: case GL_BOOL_VEC2: glProgramUniform2iv(program, location, n, p.ints.data()); break;
    case GL_INT_VEC3: case GL_BOOL_VEC3: glProgramUniform3iv(program, location, n, p.ints.data()); break;
    case GL_INT_VEC4: case GL_BOOL_VEC4: glProgramUniform4iv(program, location, n, p.ints.data()); break;
    default: break;  // samplers: their unit was set once; the texture is bound by the device
  }
}

}  // namespace gfx

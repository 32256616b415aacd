#include "tests/import/import_test_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace velm::testing {

namespace {

std::string num(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(v));
  return text;
}

void appendMesh(std::string& out, const XMesh& mesh, int index) {
  const size_t n = mesh.positions.size();
  out += "Mesh mesh" + std::to_string(index) + " {\n" + std::to_string(n) + ";\n";
  for (size_t i = 0; i < n; ++i) {
    const Vector3 p = mesh.positions[i];
    out += num(p.x) + ";" + num(p.y) + ";" + num(p.z) + (i + 1 == n ? ";;\n" : ";,\n");
  }
  auto faces = [&] {
    out += std::to_string(mesh.faces.size()) + ";\n";
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
      const auto& t = mesh.faces[f];
      out += "3;" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]) +
             (f + 1 == mesh.faces.size() ? ";;\n" : ";,\n");
    }
  };
  faces();
  if (!mesh.normals.empty()) {
    out += "MeshNormals {\n" + std::to_string(mesh.normals.size()) + ";\n";
    for (size_t i = 0; i < mesh.normals.size(); ++i) {
      const Vector3 v = mesh.normals[i];
      out += num(v.x) + ";" + num(v.y) + ";" + num(v.z) + (i + 1 == mesh.normals.size() ? ";;\n" : ";,\n");
    }
    faces();
    out += "}\n";
  }
  for (const auto& channel : mesh.channels) {
    out += "MeshTextureCoords {\n" + std::to_string(channel.size()) + ";\n";
    for (size_t i = 0; i < channel.size(); ++i)
      out += num(channel[i].u) + ";" + num(channel[i].v) + (i + 1 == channel.size() ? ";;\n" : ";,\n");
    out += "}\n";
  }
  const XMaterial& m = mesh.material;
  out += "MeshMaterialList {\n1;\n1;\n0;;\nMaterial {\n";
  out += num(m.diffuse[0]) + ";" + num(m.diffuse[1]) + ";" + num(m.diffuse[2]) + ";" + num(m.diffuse[3]) + ";;\n";
  out += num(m.power) + ";\n";
  out += num(m.specular[0]) + ";" + num(m.specular[1]) + ";" + num(m.specular[2]) + ";;\n";
  out += "0.000000;0.000000;0.000000;;\n";
  for (const std::string& texture : m.textures) out += "TextureFilename { \"" + texture + "\"; }\n";
  out += "}\n}\n}\n";
}

void appendFrame(std::string& out, const XFrame& frame, int& meshCount) {
  out += "Frame " + frame.name + " {\nFrameTransformMatrix {\n";
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out += num(frame.transform.m[i][j]) + (i == 3 && j == 3 ? ";;\n" : ",");
  out += "}\n";
  for (const XMesh& mesh : frame.meshes) appendMesh(out, mesh, meshCount++);
  for (const XFrame& child : frame.children) appendFrame(out, child, meshCount);
  out += "}\n";
}

// Little-endian ".3ds" chunks.
struct Chunk {
  uint16_t id;
  std::string body;
  Chunk& u16(uint32_t v) {
    body.push_back(static_cast<char>(v & 0xFF));
    body.push_back(static_cast<char>((v >> 8) & 0xFF));
    return *this;
  }
  Chunk& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  Chunk& f32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Chunk& text(const std::string& s) {
    body += s;
    body.push_back('\0');
    return *this;
  }
  Chunk& add(const Chunk& c) {
    body += c.bytes();
    return *this;
  }
  std::string bytes() const {
    Chunk head{0, {}};
    head.u16(id).u32(static_cast<uint32_t>(6 + body.size()));
    return head.body + body;
  }
};

Chunk colour(uint16_t id, const std::array<float, 3>& c) {
  Chunk out{id, {}};
  Chunk rgb{0x0010, {}};
  rgb.f32(c[0]).f32(c[1]).f32(c[2]);
  return out.add(rgb);
}

}  // namespace

std::string directXText(const XFrame& root) {
  std::string out = "xof 0303txt 0032\n";
  int meshCount = 0;
  appendFrame(out, root, meshCount);
  return out;
}

XMesh directXCube(float h) {
  struct Side {
    Vector3 n, right, down;
  };
  const Side sides[6] = {
      {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}}, {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}}, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
      {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
  };
  XMesh cube;
  cube.channels.resize(1);
  const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};  // top-left, top-right, bottom-right, bottom-left
  for (const Side& s : sides) {
    const int first = static_cast<int>(cube.positions.size());
    for (const auto& c : corner) {
      cube.positions.push_back((s.n + s.right * c[0] + s.down * c[1]) * h);
      cube.normals.push_back(s.n);
      cube.channels[0].push_back({0.5f * (c[0] + 1), 0.5f * (c[1] + 1)});
    }
    cube.faces.push_back({first, first + 1, first + 2});
    cube.faces.push_back({first, first + 2, first + 3});
  }
  return cube;
}

std::string tdsFile(const TdsObject& object) {
  Chunk editor{0x3D3D, {}};
  editor.add(Chunk{0x3D3E, {}}.u32(3));
  Chunk material{0xAFFF, {}};
  material.add(Chunk{0xA000, {}}.text("material1"));
  material.add(colour(0xA010, object.ambient)).add(colour(0xA020, object.diffuse)).add(colour(0xA030, object.specular));
  if (!object.texture.empty()) {
    Chunk map{0xA200, {}};
    map.add(Chunk{0xA300, {}}.text(object.texture));
    material.add(map);
  }
  editor.add(material);
  editor.add(Chunk{0x0100, {}}.f32(1.0f));

  Chunk vertices{0x4110, {}};
  vertices.u16(static_cast<uint32_t>(object.positions.size()));
  for (const Vector3& p : object.positions) vertices.f32(p.x).f32(p.y).f32(p.z);
  Chunk mapping{0x4140, {}};
  mapping.u16(static_cast<uint32_t>(object.uvs.size()));
  for (const TexCoord& uv : object.uvs) mapping.f32(uv.u).f32(uv.v);
  Chunk local{0x4160, {}};
  for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f}) local.f32(v);
  Chunk faces{0x4120, {}};
  faces.u16(static_cast<uint32_t>(object.faces.size()));
  for (const auto& f : object.faces) faces.u16(f[0]).u16(f[1]).u16(f[2]).u16(7);
  Chunk faceMaterial{0x4130, {}};
  faceMaterial.text("material1").u16(static_cast<uint32_t>(object.faces.size()));
  for (uint32_t i = 0; i < object.faces.size(); ++i) faceMaterial.u16(i);
  faces.add(faceMaterial);
  Chunk smoothing{0x4150, {}};
  for (size_t i = 0; i < object.faces.size(); ++i) smoothing.u32(1u << (i % 32));  // hard edges
  faces.add(smoothing);
  Chunk mesh{0x4100, {}};
  mesh.add(vertices);
  if (!object.uvs.empty()) mesh.add(mapping);
  mesh.add(local).add(faces);
  editor.add(Chunk{0x4000, {}}.text(object.name).add(mesh));

  auto track = [](uint16_t id, std::initializer_list<float> key) {
    Chunk c{id, {}};
    c.u16(0).u32(0).u32(0).u32(1).u32(0).u16(0);
    for (float v : key) c.f32(v);
    return c;
  };
  Chunk node{0xB002, {}};
  node.add(Chunk{0xB030, {}}.u16(0));
  node.add(Chunk{0xB010, {}}.text(object.name).u16(0).u16(0).u16(0xFFFF));
  node.add(Chunk{0xB013, {}}.f32(0).f32(0).f32(0));
  node.add(track(0xB020, {0, 0, 0})).add(track(0xB021, {0, 0, 0, 1})).add(track(0xB022, {1, 1, 1}));
  Chunk keyframer{0xB000, {}};
  keyframer.add(Chunk{0xB00A, {}}.u16(5).text("MAXSCENE").u32(100));
  keyframer.add(Chunk{0xB008, {}}.u32(0).u32(100));
  keyframer.add(node);
  Chunk main{0x4D4D, {}};
  main.add(Chunk{0x0002, {}}.u32(3)).add(editor).add(keyframer);
  return main.bytes();
}

std::string tinyPng() {
  const unsigned char pixel[3] = {200, 150, 100};
  std::string bytes;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
      },
      &bytes, 1, 1, 3, pixel, 3);
  return bytes;
}

GpuContents gpuContents(Mesh& mesh) {
  GpuContents out;
  GpuMesh& gpu = *mesh.data->gpu;
  void* bytes = nullptr;
  if (gpu.vertexBuffer && gpu.vertexCount > 0 &&
      gpu.vertexBuffer->lock(0, static_cast<uint32_t>(gpu.vertexCount * 64), &bytes, gfx::LockReadOnly) ==
          gfx::Result::Ok) {
    out.vertices.resize(static_cast<size_t>(gpu.vertexCount));
    std::memcpy(out.vertices.data(), bytes, out.vertices.size() * sizeof(VertexAttributes));
    gpu.vertexBuffer->unlock();
  }
  if (gpu.indexBuffer && gpu.indexCount > 0 &&
      gpu.indexBuffer->lock(0, static_cast<uint32_t>(gpu.indexCount * 4), &bytes, gfx::LockReadOnly) ==
          gfx::Result::Ok) {
    out.indices.resize(static_cast<size_t>(gpu.indexCount));
    std::memcpy(out.indices.data(), bytes, out.indices.size() * 4);
    gpu.indexBuffer->unlock();
  }
  return out;
}

Vector3 triangleNormal(const GpuContents& g, size_t t) {
  const Vector3 a = g.vertices[g.indices[3 * t]].position, b = g.vertices[g.indices[3 * t + 1]].position,
                c = g.vertices[g.indices[3 * t + 2]].position;
  return cross(b - a, c - a);
}

std::vector<PlacedInstance> instancesBelow(INode* node, const Matrix& parentWorld) {
  std::vector<PlacedInstance> out;
  const Matrix world = node->transform * parentWorld;
  if (auto* instance = dynamic_cast<MeshInstance*>(node)) out.push_back({instance, world});
  for (INode* child : node->children) {
    if (dynamic_cast<Mesh*>(child)) continue;
    for (const PlacedInstance& p : instancesBelow(child, world)) out.push_back(p);
  }
  return out;
}

std::vector<Mesh*> meshesOf(INode* instance) {
  std::vector<Mesh*> out;
  for (INode* child : instance->children)
    if (auto* mesh = dynamic_cast<Mesh*>(child)) out.push_back(mesh);
  return out;
}

std::vector<Vector3> worldPositions(INode* node, const Matrix& parentWorld) {
  std::vector<Vector3> out;
  for (const PlacedInstance& p : instancesBelow(node, parentWorld))
    for (Mesh* mesh : meshesOf(p.instance)) {
      const Matrix world = static_cast<INode*>(mesh)->transform * p.world;
      for (const VertexAttributes& v : gpuContents(*mesh).vertices) out.push_back(transformPoint(v.position, world));
    }
  return out;
}

::testing::AssertionResult matricesNear(const Matrix& a, const Matrix& b, float tolerance) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (std::fabs(a.m[i][j] - b.m[i][j]) > tolerance)
        return ::testing::AssertionFailure() << "entry (" << i << ", " << j << "): " << a.m[i][j] << " vs "
                                             << b.m[i][j];
  return ::testing::AssertionSuccess();
}

}  // namespace velm::testing

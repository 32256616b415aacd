#include "writers.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace velm::models {

namespace {

// Fixed formatting: the same value always prints the same bytes.
std::string number(double value) {
  if (value == 0) value = 0;  // no "-0.000000"
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  if (std::strcmp(text, "-0.000000") == 0) return "0.000000";
  return text;
}

class XWriter {
 public:
  explicit XWriter(const Model& model) : model_(model) {}

  std::string write() {
    out_ = "xof 0303txt 0032\n\n";
    frame(model_.root, 0);
    return out_;
  }

 private:
  void line(int depth, const std::string& text) {
    out_.append(static_cast<size_t>(depth) * 2, ' ');
    out_ += text;
    out_ += '\n';
  }

  void frame(const ModelNode& node, int depth) {
    line(depth, "Frame " + node.name + " {");
    line(depth + 1, "FrameTransformMatrix {");
    for (int i = 0; i < 4; ++i) {
      std::string row;
      for (int j = 0; j < 4; ++j) {
        row += number(node.transform.m[i][j]);
        row += (i == 3 && j == 3) ? ";;" : ",";
      }
      line(depth + 2, row);
    }
    line(depth + 1, "}");
    for (int index : node.meshes) mesh(model_.meshes.at(static_cast<size_t>(index)), depth + 1);
    for (const ModelNode& child : node.children) frame(child, depth + 1);
    line(depth, "}");
  }

  static std::string vector3(Vec3 v, bool last) {
    return number(v.x) + ";" + number(v.y) + ";" + number(v.z) + (last ? ";;" : ";,");
  }

  void faceList(const MeshPart& part, int depth) {
    line(depth, std::to_string(part.triangles.size()) + ";");
    for (size_t f = 0; f < part.triangles.size(); ++f) {
      const auto& t = part.triangles[f];
      line(depth, "3;" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]) +
                      (f + 1 == part.triangles.size() ? ";;" : ";,"));
    }
  }

  void mesh(const ModelMesh& m, int depth) {
    const MeshPart& part = m.part;
    if (part.vertices.empty() || part.triangles.empty()) throw std::runtime_error("empty mesh " + m.name);
    const double sign = model_.importedWithFlippedNormals ? -1.0 : 1.0;
    const size_t n = part.vertices.size();
    line(depth, "Mesh " + m.name + " {");
    line(depth + 1, std::to_string(n) + ";");
    for (size_t i = 0; i < n; ++i) line(depth + 1, vector3(part.vertices[i].position, i + 1 == n));
    faceList(part, depth + 1);

    line(depth + 1, "MeshNormals {");
    line(depth + 2, std::to_string(n) + ";");
    for (size_t i = 0; i < n; ++i) line(depth + 2, vector3(part.vertices[i].normal * sign, i + 1 == n));
    faceList(part, depth + 2);
    line(depth + 1, "}");

    line(depth + 1, "MeshTextureCoords {");
    line(depth + 2, std::to_string(n) + ";");
    for (size_t i = 0; i < n; ++i) {
      const Vec2 uv = part.vertices[i].uv;
      line(depth + 2, number(uv.x) + ";" + number(uv.y) + (i + 1 == n ? ";;" : ";,"));
    }
    line(depth + 1, "}");

    const ModelMaterial& mat = model_.materials.at(static_cast<size_t>(m.material));
    line(depth + 1, "MeshMaterialList {");
    line(depth + 2, "1;");
    line(depth + 2, "1;");
    line(depth + 2, "0;;");
    line(depth + 2, "Material " + mat.name + " {");
    line(depth + 3, number(mat.diffuse[0]) + ";" + number(mat.diffuse[1]) + ";" + number(mat.diffuse[2]) + ";" +
                        number(mat.diffuse[3]) + ";;");
    line(depth + 3, number(mat.specularPower) + ";");
    line(depth + 3, number(mat.specular[0]) + ";" + number(mat.specular[1]) + ";" + number(mat.specular[2]) + ";;");
    line(depth + 3, number(mat.emissive[0]) + ";" + number(mat.emissive[1]) + ";" + number(mat.emissive[2]) + ";;");
    if (!mat.texture.empty()) {
      line(depth + 3, "TextureFilename {");
      line(depth + 4, "\"" + mat.texture + "\";");
      line(depth + 3, "}");
    }
    line(depth + 2, "}");
    line(depth + 1, "}");
    line(depth, "}");
  }

  const Model& model_;
  std::string out_;
};

// Little-endian chunk building for ".3ds".
class Chunk {
 public:
  explicit Chunk(uint16_t id) : id_(id) {}
  Chunk& u16(uint32_t v) {
    body_.push_back(static_cast<char>(v & 0xFF));
    body_.push_back(static_cast<char>((v >> 8) & 0xFF));
    return *this;
  }
  Chunk& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) body_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  Chunk& f32(double v) {
    const float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Chunk& text(const std::string& s) {
    body_ += s;
    body_.push_back('\0');
    return *this;
  }
  Chunk& add(const Chunk& child) {
    body_ += child.bytes();
    return *this;
  }
  std::string bytes() const {
    Chunk header(0);
    header.u16(id_).u32(static_cast<uint32_t>(6 + body_.size()));
    return header.body_ + body_;
  }

 private:
  uint16_t id_;
  std::string body_;
};

Chunk colourChunk(uint16_t id, const double* rgb) {
  Chunk c(id);
  c.add(Chunk(0x0010).f32(rgb[0]).f32(rgb[1]).f32(rgb[2]));
  return c;
}

Chunk percentChunk(uint16_t id, double percent) {
  Chunk c(id);
  c.add(Chunk(0x0030).u16(static_cast<uint32_t>(percent)));
  return c;
}

// Faces that share a vertex share a smoothing group; groups of neighbouring
// surfaces differ, so the reader keeps the hard edges the model has.
std::vector<uint32_t> smoothingGroups(const MeshPart& part) {
  std::vector<uint32_t> parent(part.vertices.size());
  for (uint32_t i = 0; i < parent.size(); ++i) parent[i] = i;
  auto find = [&](uint32_t v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
  };
  for (const auto& t : part.triangles) {
    parent[find(t[1])] = find(t[0]);
    parent[find(t[2])] = find(t[0]);
  }
  std::vector<int> componentNumber(part.vertices.size(), -1);
  int components = 0;
  std::vector<uint32_t> groups;
  for (const auto& t : part.triangles) {
    const uint32_t root = find(t[0]);
    if (componentNumber[root] < 0) componentNumber[root] = components++;
    groups.push_back(1u << (componentNumber[root] % 32));
  }
  return groups;
}

}  // namespace

std::string writeDirectX(const Model& model) { return XWriter(model).write(); }

std::string write3ds(const Model& model) {
  Chunk editor(0x3D3D);
  editor.add(Chunk(0x3D3E).u32(3));
  for (const ModelMaterial& mat : model.materials) {
    Chunk block(0xAFFF);
    block.add(Chunk(0xA000).text(mat.name));
    block.add(colourChunk(0xA010, mat.ambient));
    block.add(colourChunk(0xA020, mat.diffuse));
    block.add(colourChunk(0xA030, mat.specular));
    block.add(percentChunk(0xA040, mat.specularPower));
    if (!mat.texture.empty()) {
      Chunk map(0xA200);
      map.add(Chunk(0xA300).text(mat.texture));
      block.add(map);
    }
    editor.add(block);
  }
  editor.add(Chunk(0x0100).f32(1.0));

  Chunk keyframer(0xB000);
  keyframer.add(Chunk(0xB00A).u16(5).text("MAXSCENE").u32(100));
  keyframer.add(Chunk(0xB008).u32(0).u32(100));
  keyframer.add(Chunk(0xB009).u32(0));
  uint32_t nodeId = 0;
  for (const ModelNode& node : model.root.children) {
    for (int index : node.meshes) {
      const ModelMesh& m = model.meshes.at(static_cast<size_t>(index));
      const MeshPart& part = m.part;
      if (part.vertices.size() > 65535 || part.triangles.size() > 65535)
        throw std::runtime_error(".3ds meshes hold at most 65535 vertices and faces: " + m.name);
      // y-up to z-up: (x, y, z) -> (x, -z, y); the reader's root turns it back.
      Chunk vertices(0x4110);
      vertices.u16(static_cast<uint32_t>(part.vertices.size()));
      for (const MeshVertex& v : part.vertices) vertices.f32(v.position.x).f32(-v.position.z).f32(v.position.y);
      Chunk mapping(0x4140);
      mapping.u16(static_cast<uint32_t>(part.vertices.size()));
      for (const MeshVertex& v : part.vertices) mapping.f32(v.uv.x).f32(1.0 - v.uv.y);
      Chunk local(0x4160);
      for (double value : {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0}) local.f32(value);
      Chunk faces(0x4120);
      faces.u16(static_cast<uint32_t>(part.triangles.size()));
      for (const auto& t : part.triangles) faces.u16(t[0]).u16(t[1]).u16(t[2]).u16(7);
      Chunk faceMaterial(0x4130);
      faceMaterial.text(model.materials.at(static_cast<size_t>(m.material)).name);
      faceMaterial.u16(static_cast<uint32_t>(part.triangles.size()));
      for (uint32_t f = 0; f < part.triangles.size(); ++f) faceMaterial.u16(f);
      faces.add(faceMaterial);
      Chunk smoothing(0x4150);
      for (uint32_t group : smoothingGroups(part)) smoothing.u32(group);
      faces.add(smoothing);
      Chunk triangles(0x4100);
      triangles.add(vertices).add(mapping).add(local).add(faces);
      Chunk object(0x4000);
      object.text(node.name).add(triangles);
      editor.add(object);

      auto track = [](uint16_t id, std::initializer_list<double> key) {
        Chunk c(id);
        c.u16(0).u32(0).u32(0).u32(1).u32(0).u16(0);
        for (double value : key) c.f32(value);
        return c;
      };
      Chunk tag(0xB002);
      tag.add(Chunk(0xB030).u16(nodeId++));
      tag.add(Chunk(0xB010).text(node.name).u16(0).u16(0).u16(0xFFFF));
      tag.add(Chunk(0xB013).f32(0).f32(0).f32(0));
      tag.add(track(0xB020, {0, 0, 0}));
      tag.add(track(0xB021, {0, 0, 0, 1}));
      tag.add(track(0xB022, {1, 1, 1}));
      keyframer.add(tag);
    }
  }
  Chunk main(0x4D4D);
  main.add(Chunk(0x0002).u32(3)).add(editor).add(keyframer);
  return main.bytes();
}

}  // namespace velm::models

#include <gtest/gtest.h>

#include "platform/gfx/device.h"

namespace gfx {
namespace {

TEST(VertexFormat, TheEngineFormatsDecodeToTheirLayouts) {
  EXPECT_EQ(fvf::ScreenQuad, 0x102u);
  EXPECT_EQ(fvf::MeshVertex, 0x500412u);

  const VertexLayout quad = decodeVertexFormat(fvf::ScreenQuad);
  ASSERT_TRUE(quad.valid);
  EXPECT_EQ(quad.stride, 20u);
  ASSERT_EQ(quad.count, 2u);
  EXPECT_EQ(quad.attributes[1].location, 2u);
  EXPECT_EQ(quad.attributes[1].offset, 12u);

  // Mesh vertex: position, normal, two pairs, tangent and binormal as sets 2, 3.
  const VertexLayout mesh = decodeVertexFormat(fvf::MeshVertex);
  ASSERT_TRUE(mesh.valid);
  EXPECT_EQ(mesh.stride, 64u);
  ASSERT_EQ(mesh.count, 6u);
  const uint32_t locations[] = {0, 1, 2, 3, 4, 5}, components[] = {3, 3, 2, 2, 3, 3},
                 offsets[] = {0, 12, 24, 32, 40, 52};
  for (uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(mesh.attributes[i].location, locations[i]);
    EXPECT_EQ(mesh.attributes[i].components, components[i]);
    EXPECT_EQ(mesh.attributes[i].offset, offsets[i]);
  }

  const VertexLayout particle = decodeVertexFormat(fvf::Particle);
  ASSERT_TRUE(particle.valid);
  EXPECT_EQ(particle.stride, 28u);
  EXPECT_EQ(particle.attributes[2].offset, 20u);

  EXPECT_FALSE(decodeVertexFormat(0x004).valid);  // pre-transformed positions are not supported
}

TEST(VertexFormat, PrimitiveVertexCounts) {
  EXPECT_EQ(vertexCountFor(PrimitiveType::TriangleList, 2), 6u);
  EXPECT_EQ(vertexCountFor(PrimitiveType::TriangleStrip, 2), 4u);
  EXPECT_EQ(vertexCountFor(PrimitiveType::TriangleStrip, 0), 0u);
  EXPECT_EQ(vertexCountFor(PrimitiveType::LineList, 3), 6u);
}

}  // namespace
}  // namespace gfx

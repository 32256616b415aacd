// Set-up costs of the geometry code: the chain scene's room (a box, two
// linear passes and one smoothing pass) and the rebuild of an editable model
// from 20,000 GPU vertices with and without welding, beside the plain
// quadratic weld search for comparison.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "geometry/modifiers.h"
#include "geometry/subdivide.h"
#include "geometry/weld.h"
#include "platform/gfx/recording_device.h"

namespace {

using namespace velm;

// A device that keeps buffer bytes, so meshes can be filled and read back.
void useRecordingDevice() {
  EngineContext& context = EngineContext::get();
  if (!context.device) context.device = new gfx::RecordingDevice();
  loadingInProgress = false;
}

void BM_ChainRoomPasses(benchmark::State& state) {
  useRecordingDevice();
  Mesh* room = EngineContext::get().createMesh();
  meshmodify::Subdivide linear(2, 1);
  meshmodify::Subdivide smoothing(1, 0);
  for (auto _ : state) {
    meshgen::Cube(130, 130, 130).generate(*room);
    meshmodify::InvertFaces().apply(*room);
    linear.apply(*room);
    smoothing.apply(*room);
    benchmark::DoNotOptimize(room->data->edit->vertices.size());
  }
  state.counters["vertices"] = static_cast<double>(room->data->edit->vertices.size());
}
BENCHMARK(BM_ChainRoomPasses)->Unit(benchmark::kMillisecond);

// A flat-shaded grid as an exporter writes it: every quad has four records
// of its own, so welding merges 20,000 records into 5,151 vertices. With
// `apart`, the records are spread so that nothing welds (the plain search's
// worst case).
std::vector<Vector3> gridRecords(bool apart) {
  std::vector<Vector3> records;
  for (int row = 0; row < 50; ++row)
    for (int column = 0; column < 100; ++column)
      for (auto [dx, dz] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
        const float spread = apart ? static_cast<float>(records.size()) * 0.01f : 0.0f;
        records.push_back({static_cast<float>(column + dx) + spread, 0.0f, static_cast<float>(row + dz)});
      }
  return records;
}

void fillGrid(Mesh& mesh, const std::vector<Vector3>& positions) {
  std::vector<VertexBase*> vertices;
  std::vector<uint32_t> indices;
  for (const Vector3& p : positions) vertices.push_back(new Vertex(p.x, p.y, p.z));
  for (uint32_t quad = 0; quad < positions.size() / 4; ++quad) {
    const uint32_t b = quad * 4;
    indices.insert(indices.end(), {b, b + 1, b + 2, b + 2, b + 3, b});
  }
  mesh.data->gpu->fill(vertices, &indices);
  for (VertexBase* v : vertices) delete v;
  mesh.data->state = MeshState::GpuCurrent;
}

void BM_RebuildEditable(benchmark::State& state) {
  useRecordingDevice();
  const bool weld = state.range(0) != 0;
  const bool apart = state.range(1) != 0;
  Mesh* mesh = EngineContext::get().createMesh();
  fillGrid(*mesh, gridRecords(apart));
  for (auto _ : state) {
    mesh->data->gpu->rebuildEditable(*mesh, weld);
    benchmark::DoNotOptimize(mesh->data->edit->vertices.size());
  }
  state.counters["records"] = static_cast<double>(mesh->data->gpu->vertexCount);
  state.counters["vertices"] = static_cast<double>(mesh->data->edit->vertices.size());
}
BENCHMARK(BM_RebuildEditable)
    ->ArgNames({"weld", "apart"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// The weld search alone, in list order (quadratic) and hashed.
void BM_WeldSearch(benchmark::State& state) {
  const bool hashed = state.range(0) != 0;
  const std::vector<Vector3> records = gridRecords(state.range(1) != 0);
  for (auto _ : state) {
    std::vector<Vector3> made;
    WeldIndex index;
    for (const Vector3& p : records) {
      const int32_t found = hashed ? index.find(p) : findWeldTargetLinear(made, p);
      if (found < 0) {
        made.push_back(p);
        if (hashed) index.add(p);
      }
    }
    benchmark::DoNotOptimize(made.size());
  }
}
BENCHMARK(BM_WeldSearch)
    ->ArgNames({"hashed", "apart"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

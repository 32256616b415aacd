// The four scenes of the production as the timeline and the loader see them:
// a set-up run once while loading, a 50 ms tick and a frame while the music
// is in the scene's stretch, and (for the town and the workshop) a teardown at
// shutdown. Each scene lives in its own file.
#pragma once

namespace velm {

void setupTownScene();
void tickTownScene(float dt, float t);
void renderTownScene(float t);
void teardownTownScene();

void setupWorkshopScene();
void tickWorkshopScene(float t);
void renderWorkshopScene(float t);
void teardownWorkshopScene();

void setupHarmoniumScene();
void tickHarmoniumScene(float t);
void renderHarmoniumScene(float t);

void setupChainScene();
void tickChainScene(float dt, float t);
void renderChainScene(float t);

}  // namespace velm

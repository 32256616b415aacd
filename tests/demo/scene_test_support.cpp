// The scene-test fixture (recording device, effects from data/, a clean
// engine after each test), built into the demo test program as well.
#include "tests/scene/scene_test_support.cpp"

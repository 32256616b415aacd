// The scene tests' fixture (recording or headless device, box mesh, clean
// teardown of every engine singleton), built into this program as well.
#include "tests/scene/scene_test_support.cpp"

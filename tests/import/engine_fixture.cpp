// The engine tests' fixture (a recording device in the engine context,
// captured message boxes, a private working folder, singletons reset after
// each test), built into the import tests as well.
#include "tests/engine/engine_test_support.cpp"

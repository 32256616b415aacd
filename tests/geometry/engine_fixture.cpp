// The engine tests' fixture (a recording device in the engine context,
// captured message boxes, singletons reset after each test), built into the
// geometry tests as well.
#include "tests/engine/engine_test_support.cpp"

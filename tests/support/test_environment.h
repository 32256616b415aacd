// Steps the engine-level test fixtures share: message boxes captured instead
// of shown, the loading screen's state, a recording device in the engine
// context, the engine and scene singletons put back as a fresh program has
// them, and scratch folders for files a test writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/render_window.h"
#include "platform/gfx/recording_device.h"

namespace velm::testing {

using Message = std::pair<std::string, std::string>;  // title, text

// Message boxes go to `messages` instead of the screen; a quit request left
// over from before is dropped.
void captureMessageBoxes(std::vector<Message>* messages);
// Fails the test once for each captured message box and for a pending quit
// request, then lets message boxes show again.
void expectNoMessageBoxes(const std::vector<Message>& messages);

// The loading screen as a program starts it (`inProgress` aside): the report
// counter at 50, no progress yet and no loading picture.
void resetLoadingScreen(bool inProgress);

// Deletes the engine context's device and puts a recording device of the
// window's size in its place; the context owns it.
gfx::RecordingDevice* installRecordingDevice(const RenderWindow& window);

// No scene being drawn and no solid-drawing state left over.
void clearSceneGlobals();
// Destroys the effects, shuts the engine context down (its objects and its
// device go) and forgets the cached data files.
void releaseEngine();

// A new, empty folder under the system's temporary folder, named
// `prefix`-XXXXXX; empty where none can be made.
std::string makeScratchFolder(const std::string& prefix);
// Removes a scratch folder and everything in it; a folder already gone is fine.
void removeScratchFolder(const std::string& folder);

}  // namespace velm::testing

#pragma once
// The storyboard "Main": the clinic's scenes and the segues between them.
namespace app {

inline constexpr const char* kMainStoryboardName = "Main";
inline constexpr const char* kMainMenuScene = "zaruvedezViewController";

// Declares the storyboard's scenes and segues (a load hook: runs once, before the app launches).
void defineMainStoryboard();

} // namespace app

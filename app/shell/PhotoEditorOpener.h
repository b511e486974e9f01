#pragma once
// How a document screen hands one of the patient's photographs to the photo editor without knowing
// the photo screens: the composition root installs the editor's opener at start-up.
#include <functional>
#include <memory>

#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/ViewController.h"

namespace shell {

// Opens the asset in the editor over `presenter`; nothing happens once the presenter is gone.
using PhotoEditorOpener =
    std::function<void(const std::shared_ptr<ui::ViewController>& presenter, const photos::Asset& asset)>;

void setPhotoEditorOpener(PhotoEditorOpener opener);
// Does nothing (and logs it) when no opener was installed.
void openPhotoEditor(const std::shared_ptr<ui::ViewController>& presenter, const photos::Asset& asset);

} // namespace shell

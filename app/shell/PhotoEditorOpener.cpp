#include "app/shell/PhotoEditorOpener.h"

#include <utility>

#include "platform/foundation/Log.h"

namespace shell {

namespace {
// Installed and used on the GUI thread only.
PhotoEditorOpener& installedOpener() {
    static PhotoEditorOpener opener;
    return opener;
}
} // namespace

void setPhotoEditorOpener(PhotoEditorOpener opener) {
    installedOpener() = std::move(opener);
}

void openPhotoEditor(const std::shared_ptr<ui::ViewController>& presenter, const photos::Asset& asset) {
    if (const PhotoEditorOpener& opener = installedOpener())
        opener(presenter, asset);
    else
        foundation::log("openPhotoEditor: no photo editor is installed");
}

} // namespace shell

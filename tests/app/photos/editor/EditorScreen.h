#pragma once
// The editor of the main storyboard opened on a photograph of the patient's album, over a test window,
// as the one-page certificate opens it; saves go into that album.
#include <catch2/catch.hpp>
#include <memory>

#include "app/MainStoryboard.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/photos/editing/ImageEditorSession.h"

namespace editortest {

struct EditorScreen : EditorSession {
    photos::Album patientAlbum = album("ID_p1");
    std::shared_ptr<ImageEditorViewController> editor;

    EditorScreen() {
        app::defineMainStoryboard();
        StaticVariableHelper::setTargetAlbumForOnePageImageEditor(
            store::PhotoAlbum{patientAlbum.localIdentifier, patientAlbum.localizedTitle});
    }
    ~EditorScreen() { StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::nullopt); }
    EditorScreen(const EditorScreen&) = delete;
    EditorScreen& operator=(const EditorScreen&) = delete;

    void open(const photos::Asset& asset) {
        editor = std::dynamic_pointer_cast<ImageEditorViewController>(
            ui::Storyboard::named(app::kMainStoryboardName)
                ->instantiateViewController("ImageEditorViewController"));
        REQUIRE(editor);
        handOver(*editor, opened(asset), asset);
        root->present(editor, true);
        clock.finish();
        REQUIRE(root->presentedViewController() == editor);
    }
};

} // namespace editortest

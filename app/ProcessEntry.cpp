#include "app/ProcessEntry.h"

#include "app/MainStoryboard.h"
#include "app/photos/albums/McInfo.h"
#include "app/shell/CallStack.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/Application.h"

namespace app {

namespace {
void registerDelegateClass() {
    ui::registerDelegateClass("zurarerizIvaDadadavu",
                              [] { return std::make_shared<zurarerizIvaDadadavu>(); });
}

// Photographs the library takes back after losing its index go where received ones arrive: the
// receive screens then show them again, and the staff can file them.
void takeFoundPhotographsToCameraAlbum() {
    photos::PhotoLibrary::setFoundPhotographsAlbum(photoalbums::getPhotoFolderName().value_or(""));
}
} // namespace

void registerLoadHooks() {
    foundation::LoadHooks::runOnce(
        {&registerDelegateClass, &defineMainStoryboard, &takeFoundPhotographsToCameraAlbum});
}

int runLoggingEscapes(const std::function<int()>& body) {
    try {
        return body();
    } catch (...) {
        auto escaped = std::current_exception();
        // Only our own exceptions carry a call stack; of another kind, its type and message are all we know.
        auto summary = foundation::summarize(escaped);
        if (!summary.named)
            foundation::log("Exception '%@' escaped the main loop, reason: '%@'", summary.name,
                            summary.reason);
        std::vector<foundation::Value> symbols;
        for (auto& s : shell::callStackSymbols(escaped))
            symbols.emplace_back(s);
        foundation::log("%@", foundation::Value(foundation::Array(std::move(symbols))));
        throw;
    }
}

int processEntry(int argc, char** argv) {
    registerLoadHooks();
    return runLoggingEscapes(
        [&] { return ui::applicationMain(argc, argv, "zurarerizIvaDadadavu", kMainStoryboardName); });
}

} // namespace app

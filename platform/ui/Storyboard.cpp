#include "platform/ui/Storyboard.h"

#include "platform/foundation/Exception.h"
#include "platform/ui/NavigationController.h"

namespace ui {

namespace {
std::mutex registryMutex;
std::map<std::string, StoryboardPtr>& registry() {
    static std::map<std::string, StoryboardPtr> r;
    return r;
}
} // namespace

StoryboardPtr Storyboard::define(const std::string& name) {
    std::lock_guard lock(registryMutex);
    auto& slot = registry()[name];
    if (!slot) slot = std::make_shared<Storyboard>(name);
    return slot;
}

StoryboardPtr Storyboard::named(const std::string& name) {
    {
        std::lock_guard lock(registryMutex);
        if (auto it = registry().find(name); it != registry().end()) return it->second;
    }
    foundation::raise(foundation::kInvalidArgumentException, "Could not find a storyboard named '%@'", name);
}

void Storyboard::addScene(const std::string& identifier, SceneFactory factory) {
    std::lock_guard lock(mutex_);
    scenes_[identifier] = std::move(factory);
}

bool Storyboard::hasScene(const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    return scenes_.count(identifier) != 0;
}

void Storyboard::removeScene(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    scenes_.erase(identifier);
}

void Storyboard::setInitialScene(const std::string& identifier, bool embedInNavigationController) {
    std::lock_guard lock(mutex_);
    initial_ = identifier;
    embedInitial_ = embedInNavigationController;
}

void Storyboard::addSegue(const std::string& sourceScene, const std::string& identifier,
                          const std::string& destinationScene, SegueKind kind) {
    std::lock_guard lock(mutex_);
    segues_[{sourceScene, identifier}] = SegueDefinition{destinationScene, kind};
}

std::optional<SegueDefinition> Storyboard::segue(const std::string& sourceScene,
                                                 const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    if (auto it = segues_.find({sourceScene, identifier}); it != segues_.end()) return it->second;
    return std::nullopt;
}

ViewControllerPtr Storyboard::instantiateViewController(const std::string& identifier) {
    SceneFactory factory;
    {
        std::lock_guard lock(mutex_);
        if (auto it = scenes_.find(identifier); it != scenes_.end()) factory = it->second;
    }
    if (!factory)
        foundation::raise(foundation::kInvalidArgumentException,
                          "Storyboard (%@) doesn't contain a view controller with identifier '%@'", name_,
                          identifier);
    auto vc = factory();
    if (!vc)
        foundation::raise(foundation::kInvalidArgumentException,
                          "Storyboard (%@) scene '%@' made no view controller", name_, identifier);
    vc->storyboard_ = weak_from_this();
    vc->storyboardIdentifier_ = identifier;
    return vc;
}

ViewControllerPtr Storyboard::instantiateInitialViewController() {
    std::string initial;
    bool embed;
    {
        std::lock_guard lock(mutex_);
        initial = initial_;
        embed = embedInitial_;
    }
    if (initial.empty()) return nullptr;
    auto vc = instantiateViewController(initial);
    if (!embed) return vc;
    auto nav = NavigationController::create(vc);
    nav->storyboard_ = weak_from_this();
    return nav;
}

} // namespace ui

#pragma once
// Storyboards: named sets of scenes. A scene is an identifier with a factory for its controller (whose
// view usually comes from a Designer form); a segue is an identifier on a source scene naming a
// destination scene and how it is shown. The app declares its storyboards at load time; a segue whose
// destination scene is not declared cannot be performed (canPerformSegue says so).
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui/ViewController.h"

namespace ui {

enum class SegueKind { Push, Modal, Popover };

struct SegueDefinition {
    std::string destination;
    SegueKind kind = SegueKind::Push;
};

class StoryboardSegue {
  public:
    StoryboardSegue(std::string identifier, ViewControllerPtr source, ViewControllerPtr destination)
        : identifier_(std::move(identifier)), source_(std::move(source)),
          destination_(std::move(destination)) {}
    const std::string& identifier() const { return identifier_; }
    const ViewControllerPtr& source() const { return source_; }
    const ViewControllerPtr& destination() const { return destination_; }

  private:
    std::string identifier_;
    ViewControllerPtr source_;
    ViewControllerPtr destination_;
};

class Storyboard : public std::enable_shared_from_this<Storyboard> {
  public:
    using SceneFactory = std::function<ViewControllerPtr()>;

    explicit Storyboard(std::string name) : name_(std::move(name)) {}

    // The process's storyboard of this name, created empty on first use (declaring it).
    static std::shared_ptr<Storyboard> define(const std::string& name);
    // A declared storyboard; an unknown name raises NSInvalidArgumentException.
    static std::shared_ptr<Storyboard> named(const std::string& name);

    const std::string& name() const { return name_; }

    void addScene(const std::string& identifier, SceneFactory factory);
    template <class T> void addScene(const std::string& identifier) {
        addScene(identifier, [] { return std::make_shared<T>(); });
    }
    bool hasScene(const std::string& identifier) const;
    void removeScene(const std::string& identifier);

    // The first scene, optionally inside a navigation controller (as the app's main screen is).
    void setInitialScene(const std::string& identifier, bool embedInNavigationController);

    void addSegue(const std::string& sourceScene, const std::string& identifier,
                  const std::string& destinationScene, SegueKind kind);
    std::optional<SegueDefinition> segue(const std::string& sourceScene, const std::string& identifier) const;

    // A new controller for the scene; an unknown identifier raises NSInvalidArgumentException.
    ViewControllerPtr instantiateViewController(const std::string& identifier);
    ViewControllerPtr instantiateInitialViewController();

  private:
    std::string name_;
    mutable std::mutex mutex_;
    std::map<std::string, SceneFactory> scenes_;
    std::map<std::pair<std::string, std::string>, SegueDefinition> segues_;
    std::string initial_;
    bool embedInitial_ = false;
};

using StoryboardPtr = std::shared_ptr<Storyboard>;

} // namespace ui

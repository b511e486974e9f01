#pragma once
// A view controller: owns one root view, loaded on first use, and receives the load and appearance
// calls from our navigation code (push/pop, present/dismiss, the window's root), never from Qt's show
// events. Controllers are shared objects: containers and presenters hold them, back references are weak.
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/NavigationItem.h"
#include "platform/ui/OwnedWidget.h"

class QWidget;

namespace ui {

class NavigationController;
class Storyboard;
class StoryboardSegue;
class Window;

enum class PresentationStyle { FullScreen = 0, OverFullScreen = 5, Popover = 7 };

enum ArrowDirection : unsigned { ArrowUp = 1, ArrowDown = 2, ArrowLeft = 4, ArrowRight = 8, ArrowAny = 15 };

// Where a popover points: a view, a rectangle in its coordinates (empty: its bounds) and the
// directions its arrow may take (up: the popover sits below the source).
struct PopoverAnchor {
    QPointer<QWidget> sourceView;
    QRect sourceRect;
    unsigned permittedArrowDirections = ArrowAny;
};

enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };

class ViewController : public QObject, public std::enable_shared_from_this<ViewController> {
    Q_OBJECT
  public:
    ViewController();
    ~ViewController() override;

    // The root view; the first call builds it (loadView) and then runs viewDidLoad once.
    QWidget* view();
    bool isViewLoaded() const { return bool(view_); }
    void loadViewIfNeeded() { view(); }

    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    NavigationItem& navigationItem() { return navigationItem_; }

    std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
    // The nearest navigation controller among the parents (the stack this controller sits in).
    std::shared_ptr<NavigationController> navigationController() const;

    // Storyboard: set when the controller comes from a storyboard scene.
    std::shared_ptr<Storyboard> storyboard() const { return storyboard_.lock(); }
    const std::string& storyboardIdentifier() const { return storyboardIdentifier_; }
    // Whether the segue is declared for this scene and its destination scene exists.
    bool canPerformSegue(const std::string& identifier) const;
    // Instantiates the destination, calls prepareForSegue, then pushes, presents or pops over.
    // An undeclared segue raises NSInvalidArgumentException.
    void performSegue(const std::string& identifier, QObject* sender = nullptr);
    virtual void prepareForSegue(StoryboardSegue& /*segue*/, QObject* /*sender*/) {}

    // Presentation. Everything is shown inside the window as child widgets; one controller presents
    // at most one other at a time (a second request is refused with a warning in the log).
    PresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(PresentationStyle style) { presentationStyle_ = style; }
    QSize preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(QSize size) { preferredContentSize_ = size; }
    PopoverAnchor& popoverAnchor() { return popoverAnchor_; }

    void present(std::shared_ptr<ViewController> controller, bool animated,
                 std::function<void()> completion = {});
    // Dismisses what this controller presents, or, when it presents nothing, this controller itself.
    void dismiss(bool animated, std::function<void()> completion = {});
    std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }

    // The window showing this controller's hierarchy, or null.
    Window* window() const;
    AppearanceState appearanceState() const { return appearance_; }
    bool isAppeared() const { return appearance_ == AppearanceState::Appeared; }

    std::string description() const;

  protected:
    // Builds the root view; the default is an empty view of the main screen's size.
    virtual void loadView();
    void setView(std::unique_ptr<QWidget> view);
    // Builds the root view from a Designer form (a uic-generated Ui:: class).
    template <class Form> void loadViewFromForm(Form& form) {
        auto v = std::make_unique<QWidget>();
        form.setupUi(v.get());
        setView(std::move(v));
    }

    // Containers: the children whose appearance follows this controller's.
    virtual std::vector<std::shared_ptr<ViewController>> visibleChildren() const { return {}; }
    void adoptChild(const std::shared_ptr<ViewController>& child);
    void releaseChild(const std::shared_ptr<ViewController>& child);

    enum class Phase { WillAppear, DidAppear, WillDisappear, DidDisappear };
    // Moves the appearance state on and calls the matching hook, then the visible children's.
    void appearance(Phase phase, bool animated);
    static void appearance(const std::shared_ptr<ViewController>& vc, Phase phase, bool animated) {
        if (vc) vc->appearance(phase, animated);
    }

  private:
    friend class Window;
    friend class Storyboard;

    std::shared_ptr<ViewController> presentationHost();
    void dismissPresented(bool animated, std::function<void()> completion);
    QWidget* presentationWidget() const;

    OwnedWidget<QWidget> view_;
    bool loadingView_ = false;
    std::string title_;
    NavigationItem navigationItem_;
    std::weak_ptr<ViewController> parent_;
    std::weak_ptr<Storyboard> storyboard_;
    std::string storyboardIdentifier_;

    PresentationStyle presentationStyle_ = PresentationStyle::FullScreen;
    QSize preferredContentSize_;
    PopoverAnchor popoverAnchor_;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    OwnedWidget<QWidget> popoverLayer_; // the frame around a popover's view while shown

    QPointer<Window> window_; // set on the window's root controller only
    AppearanceState appearance_ = AppearanceState::Disappeared;
};

using ViewControllerPtr = std::shared_ptr<ViewController>;

} // namespace ui

#pragma once
// The two protocols of the component system: a library class (what it registers, and optionally
// what it does when an app is configured) and an instance that wants to hear of its app's deletion.
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/VEVComponent.h"

class VEVApp;

// The class side of a library: one object per library class, standing for the class itself.
class VEVLibrary {
  public:
    virtual ~VEVLibrary() = default;
    virtual std::string className() const = 0;
    virtual std::vector<VEVComponentPtr> componentsToRegister() const = 0;
    // Optional class operation: a library that answers it is told of every configured app.
    virtual bool respondsToConfigureWithApp() const { return false; }
    virtual void configureWithApp(const std::shared_ptr<VEVApp>&) const {}
    std::string description() const { return className(); }
};
using VEVLibraryClass = std::shared_ptr<const VEVLibrary>;

class VEVComponentLifecycleMaintainer {
  public:
    virtual ~VEVComponentLifecycleMaintainer() = default;
    virtual void appWillBeDeleted(const std::shared_ptr<VEVApp>& app) = 0;
};

namespace sdk {

// The class object of a library class C with static `kClassName` and `componentsToRegister()`, and
// optionally a static `configureWithApp(app)`.
template <class C> class LibraryClassOf final : public VEVLibrary {
  public:
    std::string className() const override { return C::kClassName; }
    std::vector<VEVComponentPtr> componentsToRegister() const override { return C::componentsToRegister(); }
    bool respondsToConfigureWithApp() const override {
        return requires(const std::shared_ptr<VEVApp>& app) {
            C::configureWithApp(app);
        };
    }
    void configureWithApp(const std::shared_ptr<VEVApp>& app) const override {
        if constexpr (requires { C::configureWithApp(app); }) C::configureWithApp(app);
    }
};

// The one class object of C for the process.
template <class C> VEVLibraryClass libraryClass() {
    static const VEVLibraryClass cls = std::make_shared<const LibraryClassOf<C>>();
    return cls;
}

} // namespace sdk

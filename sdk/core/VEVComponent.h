#pragma once
// A service a library offers by protocol, with when to make it and how.
#include <functional>
#include <memory>
#include <vector>

#include "sdk/core/SdkObject.h"

class VEVComponentContainer;

// 0 lazy: made on first request; 1 always eager: made when any app is configured;
// 2 eager in the default app only (lazy in other apps).
enum VEVInstantiationTiming : int {
    VEVInstantiationTimingLazy = 0,
    VEVInstantiationTimingAlwaysEager = 1,
    VEVInstantiationTimingEagerInDefaultApp = 2,
};

// What a component needs; kept for documentation, never evaluated by the container.
class VEVDependency {
  public:
    static std::shared_ptr<const VEVDependency> dependencyWithProtocol(sdk::Protocol protocol) {
        return dependencyWithProtocolIsRequired(std::move(protocol), true);
    }
    static std::shared_ptr<const VEVDependency> dependencyWithProtocolIsRequired(sdk::Protocol protocol,
                                                                                 bool isRequired) {
        return std::make_shared<const VEVDependency>(std::move(protocol), isRequired);
    }
    VEVDependency(sdk::Protocol protocol, bool isRequired)
        : protocol_(std::move(protocol)), isRequired_(isRequired) {}

    const sdk::Protocol& protocol() const { return protocol_; }
    bool isRequired() const { return isRequired_; }

  private:
    sdk::Protocol protocol_;
    bool isRequired_;
};
using VEVDependencyPtr = std::shared_ptr<const VEVDependency>;

class VEVComponent {
  public:
    // Makes the instance; sets isCacheable (preset to false) when the container may keep it.
    using CreationBlock = std::function<sdk::ObjectPtr(VEVComponentContainer& container, bool& isCacheable)>;

    static std::shared_ptr<const VEVComponent>
    componentWithProtocolCreationBlock(sdk::Protocol protocol, CreationBlock creationBlock) {
        return componentWithProtocolInstantiationTimingDependenciesCreationBlock(
            std::move(protocol), VEVInstantiationTimingLazy, {}, std::move(creationBlock));
    }
    static std::shared_ptr<const VEVComponent>
    componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol protocol, VEVInstantiationTiming timing, std::vector<VEVDependencyPtr> dependencies,
        CreationBlock creationBlock) {
        return std::make_shared<const VEVComponent>(std::move(protocol), timing, std::move(dependencies),
                                                    std::move(creationBlock));
    }

    VEVComponent(sdk::Protocol protocol, VEVInstantiationTiming timing,
                 std::vector<VEVDependencyPtr> dependencies, CreationBlock creationBlock)
        : protocol_(std::move(protocol)), timing_(timing), dependencies_(std::move(dependencies)),
          creationBlock_(std::move(creationBlock)) {}

    const sdk::Protocol& protocol() const { return protocol_; }
    VEVInstantiationTiming instantiationTiming() const { return timing_; }
    const std::vector<VEVDependencyPtr>& dependencies() const { return dependencies_; }
    const CreationBlock& creationBlock() const { return creationBlock_; }

  private:
    sdk::Protocol protocol_;
    VEVInstantiationTiming timing_;
    std::vector<VEVDependencyPtr> dependencies_;
    CreationBlock creationBlock_;
};
using VEVComponentPtr = std::shared_ptr<const VEVComponent>;

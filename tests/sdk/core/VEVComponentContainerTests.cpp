#include <atomic>

#include "sdk/core/VEVAppAssociationRegistration.h"
#include "sdk/core/VEVComponentType.h"
#include "tests/sdk/core/SdkTestSupport.h"

using sdktest::SdkFixture;

namespace {

struct Greeter {
    static constexpr const char* kProtocolName = "TestGreeter";
    virtual ~Greeter() = default;
    virtual std::string greeting() const = 0;
};
struct Counter {
    static constexpr const char* kProtocolName = "TestCounter";
    virtual ~Counter() = default;
};

struct GreeterObject : sdk::Object, Greeter {
    explicit GreeterObject(std::string text) : text(std::move(text)) {}
    std::string greeting() const override { return text; }
    std::string text;
};
struct PlainObject : sdk::Object {};
struct DeletionListener : sdk::Object, Counter, VEVComponentLifecycleMaintainer {
    void appWillBeDeleted(const std::shared_ptr<VEVApp>& app) override {
        deletedAppName = app ? app->name() : "?";
    }
    std::string deletedAppName;
};

// A library class made of lambdas, for containers built over a private registrant list.
class TestLibrary : public VEVLibrary {
  public:
    TestLibrary(std::string name, std::vector<VEVComponentPtr> components)
        : name_(std::move(name)), components_(std::move(components)) {}
    std::string className() const override { return name_; }
    std::vector<VEVComponentPtr> componentsToRegister() const override { return components_; }

  private:
    std::string name_;
    std::vector<VEVComponentPtr> components_;
};

VEVComponentPtr greeterComponent(std::string text, bool cacheable, int* made = nullptr) {
    return VEVComponent::componentWithProtocolCreationBlock(
        sdk::Protocol::of<Greeter>(), [=](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
            if (made) ++*made;
            isCacheable = cacheable;
            return std::make_shared<GreeterObject>(text);
        });
}

std::shared_ptr<VEVApp> configuredNamedApp(const std::string& name = "container-test") {
    VEVApp::configureWithName(name, sdktest::namedAppOptions());
    return VEVApp::appNamed(name);
}

} // namespace

TEST_CASE("A container maps each protocol to the first registrant that offers it", "[sdk][components]") {
    SdkFixture f;
    auto app = configuredNamedApp();
    VEVRegistrantSet registrants;
    VEVComponentContainer::registerAsComponentRegistrantInSet(
        std::make_shared<TestLibrary>("First", std::vector{greeterComponent("first", true)}), registrants);
    VEVComponentContainer::registerAsComponentRegistrantInSet(
        std::make_shared<TestLibrary>("Second", std::vector{greeterComponent("second", true)}), registrants);
    VEVComponentContainer container(app, registrants);

    CHECK(f.log.contains(
        "[Vevurizo/Core][I-COR000029] Attempted to register protocol TestGreeter, but it already has "
        "an implementation."));
    auto greeter = VEVComponentType::instanceForProtocol<Greeter>(container);
    REQUIRE(greeter);
    CHECK(greeter->greeting() == "first");
    CHECK(container.app() == app);

    SECTION("a protocol nobody registered gives nil") {
        CHECK_FALSE(container.instanceForProtocol(sdk::Protocol("Nobody")));
    }
    SECTION("after removeAllComponents nothing new can be made") {
        container.removeAllCachedInstances();
        container.removeAllComponents();
        CHECK_FALSE(container.instanceForProtocol(sdk::Protocol::of<Greeter>()));
    }
}

TEST_CASE("Instances are cached only when their block allows it", "[sdk][components]") {
    SdkFixture f;
    auto app = configuredNamedApp();
    int madeCached = 0, madeFresh = 0;

    SECTION("cacheable: one instance") {
        VEVComponentContainer container(
            app, {std::make_shared<TestLibrary>("L", std::vector{greeterComponent("x", true, &madeCached)})});
        auto a = container.instanceForProtocol(sdk::Protocol::of<Greeter>());
        auto b = container.instanceForProtocol(sdk::Protocol::of<Greeter>());
        CHECK(a == b);
        CHECK(madeCached == 1);
    }
    SECTION("not cacheable: a new instance on every request") {
        VEVComponentContainer container(
            app, {std::make_shared<TestLibrary>("L", std::vector{greeterComponent("x", false, &madeFresh)})});
        auto a = container.instanceForProtocol(sdk::Protocol::of<Greeter>());
        auto b = container.instanceForProtocol(sdk::Protocol::of<Greeter>());
        CHECK(a != b);
        CHECK(madeFresh == 2);
    }
    SECTION("a nil instance is not cached") {
        int calls = 0;
        auto nilComponent = VEVComponent::componentWithProtocolCreationBlock(
            sdk::Protocol::of<Greeter>(), [&](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
                ++calls;
                isCacheable = true;
                return nullptr;
            });
        VEVComponentContainer container(app, {std::make_shared<TestLibrary>("L", std::vector{nilComponent})});
        CHECK_FALSE(container.instanceForProtocol(sdk::Protocol::of<Greeter>()));
        CHECK_FALSE(container.instanceForProtocol(sdk::Protocol::of<Greeter>()));
        CHECK(calls == 2);
    }
}

TEST_CASE("Creation blocks may ask their container for other protocols; bad instances are logged",
          "[sdk][components]") {
    SdkFixture f;
    auto app = configuredNamedApp();
    auto counter = VEVComponent::componentWithProtocolCreationBlock(
        sdk::Protocol::of<Counter>(), [](VEVComponentContainer& c, bool& isCacheable) -> sdk::ObjectPtr {
            auto greeter = VEVComponentType::instanceForProtocol<Greeter>(c); // re-entrant look-up
            isCacheable = true;
            return greeter ? std::make_shared<DeletionListener>() : nullptr;
        });
    auto wrongType = VEVComponent::componentWithProtocolCreationBlock(
        sdk::Protocol::of<Greeter>(), [](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
            isCacheable = true;
            return std::make_shared<PlainObject>();
        });

    SECTION("re-entrant creation") {
        VEVComponentContainer container(
            app, {std::make_shared<TestLibrary>("L", std::vector{counter, greeterComponent("hi", true)})});
        CHECK(container.instanceForProtocol(sdk::Protocol::of<Counter>()));
    }
    SECTION("an instance that does not conform is logged, returned and cached") {
        VEVComponentContainer container(app, {std::make_shared<TestLibrary>("L", std::vector{wrongType})});
        auto a = container.instanceForProtocol(sdk::Protocol::of<Greeter>());
        CHECK(a);
        CHECK(container.instanceForProtocol(sdk::Protocol::of<Greeter>()) == a);
        CHECK(f.log.count(
                  "[Vevurizo/Core][I-COR000030] An instance conforming to TestGreeter was requested, but the "
                  "instance provided does not conform to the protocol") == 1);
        CHECK_FALSE(VEVComponentType::instanceForProtocol<Greeter>(container)); // the typed look-up says no
    }
    SECTION("removing cached instances tells lifecycle maintainers of the deletion") {
        VEVComponentContainer container(
            app, {std::make_shared<TestLibrary>("L", std::vector{counter, greeterComponent("hi", true)})});
        auto listener = std::dynamic_pointer_cast<DeletionListener>(
            container.instanceForProtocol(sdk::Protocol::of<Counter>()));
        REQUIRE(listener);
        container.removeAllCachedInstances();
        CHECK(listener->deletedAppName == "container-test");
        CHECK(container.instanceForProtocol(sdk::Protocol::of<Counter>()) != listener);
    }
}

TEST_CASE("Association registration keeps one object per host and key", "[sdk][components]") {
    SdkFixture f;
    auto host = std::make_shared<int>(1);
    int made = 0;
    auto make = [&]() -> sdk::ObjectPtr {
        ++made;
        return std::make_shared<PlainObject>();
    };

    auto a = VEVAppAssociationRegistration::registeredObjectWithHost(host, "key", make);
    CHECK(VEVAppAssociationRegistration::registeredObjectWithHost(host, "key", make) == a);
    CHECK(VEVAppAssociationRegistration::registeredObjectWithHost(host, "other", make) != a);
    CHECK(made == 2);

    SECTION("a nil result leaves no entry") {
        int calls = 0;
        auto nil = [&]() -> sdk::ObjectPtr {
            ++calls;
            return nullptr;
        };
        CHECK_FALSE(VEVAppAssociationRegistration::registeredObjectWithHost(host, "nil", nil));
        CHECK_FALSE(VEVAppAssociationRegistration::registeredObjectWithHost(host, "nil", nil));
        CHECK(calls == 2);
    }
    SECTION("re-entering for the same host and key raises instead of deadlocking") {
        auto e = sdktest::raised([&] {
            VEVAppAssociationRegistration::registeredObjectWithHost(host, "loop", [&]() -> sdk::ObjectPtr {
                return VEVAppAssociationRegistration::registeredObjectWithHost(host, "loop", make);
            });
        });
        CHECK(e.name() == "Reentering registeredObjectWithHost:key:creationBlock: not allowed");
        CHECK(e.reason() ==
              foundation::format("host: %@ key: %@", static_cast<const void*>(host.get()), "loop"));
    }
    SECTION("a creation block that throws leaves no in-progress marker behind") {
        CHECK_THROWS_AS(VEVAppAssociationRegistration::registeredObjectWithHost(
                            host, "flaky", []() -> sdk::ObjectPtr { throw std::runtime_error("boom"); }),
                        std::runtime_error);
        auto later = VEVAppAssociationRegistration::registeredObjectWithHost(host, "flaky", make);
        CHECK(later);
    }
    SECTION("an association ends with its host") {
        std::weak_ptr<PlainObject> weakObject;
        {
            auto shortLived = std::make_shared<int>(2);
            auto o = VEVAppAssociationRegistration::registeredObjectWithHost(shortLived, "k", make);
            weakObject = std::dynamic_pointer_cast<PlainObject>(o);
        }
        VEVAppAssociationRegistration::registeredObjectWithHost(host, "tidy", make); // drops dead hosts
        CHECK(weakObject.expired());
    }
}

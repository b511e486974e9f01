#pragma once
// Objects that SDK libraries hand each other without knowing each other's classes, and the protocols
// they are found by. A protocol is known by its name; when its interface type is at hand it can also
// tell whether an object adopts it.
#include <functional>
#include <memory>
#include <string>

namespace sdk {

class Object {
  public:
    virtual ~Object() = default;
};
using ObjectPtr = std::shared_ptr<Object>;

class Protocol {
  public:
    // A protocol known by name only: any object is taken to adopt it.
    explicit Protocol(std::string name) : name_(std::move(name)) {}

    // Interface types name themselves: `static constexpr const char* kProtocolName = "...";`.
    template <class Interface> static Protocol of() {
        return Protocol(Interface::kProtocolName,
                        [](const Object& o) { return dynamic_cast<const Interface*>(&o) != nullptr; });
    }

    const std::string& name() const { return name_; }
    bool isAdoptedBy(const Object& object) const { return !adopts_ || adopts_(object); }
    bool operator==(const Protocol& other) const { return name_ == other.name_; }

  private:
    Protocol(std::string name, std::function<bool(const Object&)> adopts)
        : name_(std::move(name)), adopts_(std::move(adopts)) {}
    std::string name_;
    std::function<bool(const Object&)> adopts_;
};

} // namespace sdk

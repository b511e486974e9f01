#pragma once
// What is left of an object store the program never uses: a context that never has changes, built on
// first use and "saved" at termination. Nothing is stored, so no store file is created; a failing save
// would be logged as "Unresolved error %@, %@".
#include <memory>

#include "platform/foundation/Error.h"

namespace shell {

class ManagedObjectContext {
  public:
    bool hasChanges() const { return false; }
    // True when saved; otherwise `error` tells why.
    bool save(foundation::ErrorPtr& error) {
        error = nullptr;
        return true;
    }
};

class VestigialStore {
  public:
    ManagedObjectContext& managedObjectContext();
    // Saves the context when it has changes.
    void saveContext();

  private:
    std::unique_ptr<ManagedObjectContext> context_;
};

} // namespace shell

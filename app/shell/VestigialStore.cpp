#include "app/shell/VestigialStore.h"

#include "platform/foundation/Log.h"

namespace shell {

ManagedObjectContext& VestigialStore::managedObjectContext() {
    if (!context_) context_ = std::make_unique<ManagedObjectContext>();
    return *context_;
}

void VestigialStore::saveContext() {
    ManagedObjectContext& context = managedObjectContext();
    foundation::ErrorPtr error;
    if (context.hasChanges() && !context.save(error)) {
        foundation::Dictionary info = error ? error->userInfo() : foundation::Dictionary{};
        foundation::log("Unresolved error %@, %@", error ? error->description() : std::string("(null)"),
                        foundation::Value(info));
    }
}

} // namespace shell

#include "sdk/core/transport/RDTCORRegistrar.h"

#include <set>
#include <vector>

#include "sdk/core/NoDestructor.h"

std::shared_ptr<RDTCORRegistrar> RDTCORRegistrar::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORRegistrar>> instance(create());
    return *instance;
}

std::shared_ptr<RDTCORRegistrar> RDTCORRegistrar::create() {
    return std::make_shared<RDTCORRegistrar>(Token{});
}

RDTCORRegistrar::RDTCORRegistrar(Token)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCORRegistrar")) {}

template <class Part>
void RDTCORRegistrar::enqueueRegistration(
    std::map<RDTCORTarget, std::shared_ptr<Part>> RDTCORRegistrar::*table, std::shared_ptr<Part> part,
    RDTCORTarget target) {
    ++waiting_;
    queue_->async([weak = weak_from_this(), table, part = std::move(part), target] {
        auto self = weak.lock();
        if (!self) return;
        {
            std::lock_guard lock(self->tablesMutex_);
            ((*self).*table)[target] = part;
        }
        --self->waiting_;
    });
}

void RDTCORRegistrar::registerUploader(std::shared_ptr<RDTCORUploader> uploader, RDTCORTarget target) {
    enqueueRegistration(&RDTCORRegistrar::uploaders_, std::move(uploader), target);
}

void RDTCORRegistrar::registerStorage(std::shared_ptr<RDTCORStorageProtocol> storage, RDTCORTarget target) {
    enqueueRegistration(&RDTCORRegistrar::storages_, std::move(storage), target);
}

void RDTCORRegistrar::registerPrioritizer(std::shared_ptr<RDTCORPrioritizer> prioritizer,
                                          RDTCORTarget target) {
    enqueueRegistration(&RDTCORRegistrar::prioritizers_, std::move(prioritizer), target);
}

void RDTCORRegistrar::lookUp(const std::function<void()>& read) const {
    auto locked = [&] {
        std::lock_guard lock(tablesMutex_);
        read();
    };
    if (waiting_.load() == 0)
        locked();
    else
        queue_->sync(locked);
}

std::map<RDTCORTarget, std::shared_ptr<RDTCORUploader>> RDTCORRegistrar::targetToUploader() const {
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploader>> copy;
    lookUp([&] { copy = uploaders_; });
    return copy;
}

std::map<RDTCORTarget, std::shared_ptr<RDTCORStorageProtocol>> RDTCORRegistrar::targetToStorage() const {
    std::map<RDTCORTarget, std::shared_ptr<RDTCORStorageProtocol>> copy;
    lookUp([&] { copy = storages_; });
    return copy;
}

std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> RDTCORRegistrar::targetToPrioritizer() const {
    std::map<RDTCORTarget, std::shared_ptr<RDTCORPrioritizer>> copy;
    lookUp([&] { copy = prioritizers_; });
    return copy;
}

std::shared_ptr<RDTCORUploader> RDTCORRegistrar::uploaderForTarget(RDTCORTarget target) const {
    std::shared_ptr<RDTCORUploader> found;
    lookUp([&] {
        if (auto it = uploaders_.find(target); it != uploaders_.end()) found = it->second;
    });
    return found;
}

std::shared_ptr<RDTCORStorageProtocol> RDTCORRegistrar::storageForTarget(RDTCORTarget target) const {
    std::shared_ptr<RDTCORStorageProtocol> found;
    lookUp([&] {
        if (auto it = storages_.find(target); it != storages_.end()) found = it->second;
    });
    return found;
}

std::shared_ptr<RDTCORPrioritizer> RDTCORRegistrar::prioritizerForTarget(RDTCORTarget target) const {
    std::shared_ptr<RDTCORPrioritizer> found;
    lookUp([&] {
        if (auto it = prioritizers_.find(target); it != prioritizers_.end()) found = it->second;
    });
    return found;
}

void RDTCORRegistrar::forEachPart(const std::function<void(RDTCORLifecycleProtocol&)>& call) const {
    std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts;
    lookUp([&] {
        for (auto& [t, u] : uploaders_)
            parts.push_back(u);
        for (auto& [t, p] : prioritizers_)
            parts.push_back(p);
        for (auto& [t, s] : storages_)
            parts.push_back(s);
    });
    // Told outside the registrar's queue: parts may look things up here while they work.
    std::set<const RDTCORLifecycleProtocol*> told;
    for (auto& part : parts)
        if (told.insert(part.get()).second) call(*part);
}

void RDTCORRegistrar::appWillForeground(RDTCORApplication& app) {
    forEachPart([&](RDTCORLifecycleProtocol& p) { p.appWillForeground(app); });
}

void RDTCORRegistrar::appWillBackground(RDTCORApplication& app) {
    forEachPart([&](RDTCORLifecycleProtocol& p) { p.appWillBackground(app); });
}

void RDTCORRegistrar::appWillTerminate(RDTCORApplication& app) {
    forEachPart([&](RDTCORLifecycleProtocol& p) { p.appWillTerminate(app); });
}

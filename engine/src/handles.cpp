// The handle registry: handing out, finding and releasing engine objects by handle.
#include "engine/src/handles.h"

namespace lce {

std::uint32_t HandleRegistry::add(std::shared_ptr<Object> object) {
    std::lock_guard lock(lock_);
    do {
        ++next_;
        if (next_ == 0 || next_ == 0xFFFFFFFFu) next_ = 0x1000;
    } while (objects_.count(next_));
    object->handle = next_;
    objects_[next_] = std::move(object);
    return next_;
}

void HandleRegistry::remove(std::uint32_t handle) {
    std::shared_ptr<Object> doomed;  // destroyed outside the lock
    {
        std::lock_guard lock(lock_);
        auto it = objects_.find(handle);
        if (it == objects_.end()) return;
        Recent& r = recent_[handle % recent_.size()];
        if (r.handle == handle) r = Recent{};
        doomed = std::move(it->second);
        objects_.erase(it);
    }
}

std::shared_ptr<Object> HandleRegistry::find(std::uint32_t handle) const {
    std::lock_guard lock(lock_);
    return lookUp(handle);
}

const std::shared_ptr<Object>& HandleRegistry::lookUp(std::uint32_t handle) const {
    static const std::shared_ptr<Object> none;
    Recent& r = recent_[handle % recent_.size()];
    if (r.handle == handle && r.object) return *r.object;
    auto it = objects_.find(handle);
    if (it == objects_.end()) return none;
    r = Recent{handle, &it->second};
    return it->second;
}

}  // namespace lce

#include "DocumentRegistry.h"

#include <algorithm>

namespace zarn {

bool DocumentRegistry::add(CZARN40Doc* doc) {
    std::lock_guard lock(mutex_);
    if (docs_.size() >= kMaxDocuments) {
        return false;
    }
    docs_.push_back(doc);
    return true;
}

void DocumentRegistry::remove(CZARN40Doc* doc) {
    std::lock_guard lock(mutex_);
    docs_.erase(std::remove(docs_.begin(), docs_.end(), doc), docs_.end());
}

std::size_t DocumentRegistry::count() const {
    std::lock_guard lock(mutex_);
    return docs_.size();
}

std::vector<CZARN40Doc*> DocumentRegistry::documents() const {
    std::lock_guard lock(mutex_);
    return docs_;
}

CZARN40Doc* DocumentRegistry::next() {
    std::lock_guard lock(mutex_);
    if (docs_.empty()) {
        return nullptr;
    }
    cursor_ %= docs_.size();
    return docs_[cursor_++];
}

} // namespace zarn

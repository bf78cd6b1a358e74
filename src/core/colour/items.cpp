#include "core/colour/items.h"

namespace qv {

void ListItemIterator::first() {
    cursor_ = 0;
}

Item ListItemIterator::next() {
    if (isDone()) return {};
    return items_[cursor_++];
}

bool ListItemIterator::isDone() const {
    return cursor_ >= items_.size();
}

void ListItemIterator::add(std::int32_t code, const std::string& name) {
    items_.push_back(Item{code, name, 0.0});
}

void ListItemIterator::clear() {
    items_.clear();
    cursor_ = 0;
}

}  // namespace qv

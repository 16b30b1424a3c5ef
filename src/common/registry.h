// Registry: a map from a text key to a value, matched by exact byte equality.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>

// Keys are compared byte for byte; callers lower-case names first, which makes
// look-ups case-insensitive in effect. Storing under an existing key replaces the value.
template <typename V>
class Registry {
public:
    // Stores value under key, replacing what was there.
    void store(const std::string& key, V value) { map_[key] = std::move(value); }
    // The value stored under key, or null when there is none.
    V* find(const std::string& key)
    {
        auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second;
    }
    const V* find(const std::string& key) const
    {
        auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second;
    }
    // Removes what is stored under key, if anything.
    void remove(const std::string& key) { map_.erase(key); }
    int size() const { return static_cast<int>(map_.size()); }
    void clear() { map_.clear(); }

    auto begin() { return map_.begin(); }
    auto end() { return map_.end(); }
    auto begin() const { return map_.begin(); }
    auto end() const { return map_.end(); }

private:
    std::unordered_map<std::string, V> map_;
};

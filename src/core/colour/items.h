#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Item codes the colour engine answers.
namespace item {
inline constexpr std::int32_t kCoordinate1 = 11101;  // L*
inline constexpr std::int32_t kCoordinate2 = 11102;  // a*
inline constexpr std::int32_t kCoordinate3 = 11103;  // b*
inline constexpr std::int32_t kDelta1 = -11101;      // sample minus target L*
inline constexpr std::int32_t kDelta2 = -11102;      // sample minus target a*
inline constexpr std::int32_t kDelta3 = -11103;      // sample minus target b*
inline constexpr std::int32_t kTotalDifference = -16000;
}  // namespace item

// Observer and illuminant codes of the engine.
inline constexpr std::int32_t kObserver10Degree = 10;  // CIE 1964 10-degree observer
inline constexpr std::int32_t kIlluminantD65 = 4;      // CIE D65

// What callers preset into a request before evaluating: 2^-126, the smallest normal float.
inline constexpr double kItemPreset = 1.1754943508222875e-38;

// One requested item and, after evaluation, its value.
struct ItemValue {
    std::int32_t code = 0;
    double value = 0.0;
};

// A named item of an observer or illuminant list.
struct Item {
    std::int32_t code = 0;
    std::string name;
    double value = 0.0;
};

// A forward cursor over items.
class ItemIterator {
public:
    virtual void first() = 0;
    // A copy of the current item, then advances; an empty item once past the end.
    virtual Item next() = 0;
    virtual bool isDone() const = 0;
    virtual ~ItemIterator() = default;
};

// Items kept in insertion order.
class ListItemIterator : public ItemIterator {
public:
    void first() override;
    Item next() override;
    bool isDone() const override;

    void add(std::int32_t code, const std::string& name);
    void clear();

private:
    std::vector<Item> items_;
    std::size_t cursor_ = 0;
};

}  // namespace qv

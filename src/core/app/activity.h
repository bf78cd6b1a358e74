#pragma once

#include <string>

namespace qv {

// What the instrument work is doing, told as it happens: which instrument identified itself
// last, and the step an exchange is at. The desktop shows it in the status line of the dialog
// at work, so the operator always sees which instrument is talking and what it is waiting for;
// a program that shows nothing leaves the seam empty.
class Activity {
public:
    virtual ~Activity() = default;
    // Every successful identification: the serial ("-----" for the three-field form) and the
    // type code ("53", "40").
    virtual void identified(const std::string& serial, const std::string& typeCode) = 0;
    // The step an exchange is at, in words ("Measuring: reading the 25° spectrum"); empty when
    // no exchange runs any more.
    virtual void step(const std::string& what) = 0;
};

inline void tellStep(Activity* activity, const std::string& what) {
    if (activity) activity->step(what);
}

}  // namespace qv

#pragma once

#include "core/app/seams.h"
#include "core/coeff/file_choice.h"

namespace qv {

// Loading a coefficient file (target and sample spectra with the sample's serial and a
// comment) as the way into writing an entry without measuring.
class CoefficientFileWorkflow {
public:
    explicit CoefficientFileWorkflow(const Seams& seams);

    // Choose and read a file; false when none was loaded (the operator was told why).
    bool browse();
    // True when the write dialog may open: a known instrument answers and a file is loaded.
    bool ok();
    void cancel();

    const std::string& path() const { return choice_.path(); }
    bool fileLoaded() const { return fileLoaded_; }
    const CoordinateTexts& sample() const { return sample_; }

private:
    bool refuse(int stringId, std::string detail);
    void emptySpectra();

    Seams s_;
    FileChoice choice_;
    bool fileLoaded_ = false;
    CoordinateTexts sample_;
};

}  // namespace qv

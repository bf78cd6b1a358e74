#include "core/coeff/registration_workflow.h"

#include "core/app/message_box.h"
#include "core/app/profile_store.h"
#include "core/colour/colour_requests.h"
#include "core/files/registration_file.h"
#include "core/measure/measured_pair.h"

namespace qv {

namespace {
// A spectrum with its coordinates: 31 reflectances and L*, a*, b*.
constexpr std::size_t kEvaluatedValues = 34;
}  // namespace

RegistrationWorkflow::RegistrationWorkflow(const Seams& seams, EvaluateHueControl& colour)
    : s_(seams), colour_(colour), choice_(seams.profile, key::kFileRegPath) {
    target_ = coordinateTexts({}, s_.format);
}

bool RegistrationWorkflow::browse() {
    const auto chosen = choice_.choose(s_.prompter);
    if (!chosen) return false;
    work_ = {};
    std::string text;
    if (!s_.files.readAll(*chosen, kMaxChosenFileBytes, text))
        return refuse(kStrRegistrationUnreadable, "cannot read " + *chosen);
    const RegistrationFileRead read = readRegistrationFile(text, s_.format, s_.strings);
    if (read.csvError != CsvError::None)
        return refuse(kStrSampleIncomplete,
                      "line " + std::to_string(read.csvErrorLine) + " is too long");
    // The serial counts from the moment it is read, as the reference instrument's.
    if (read.targetSerial) placeSerial(s_.state, PairSide::Target, *read.targetSerial);
    if (!read.accepted) return refuse(kStrSampleIncomplete, {});
    work_ = read.spectra;
    fileLoaded_ = true;
    markMeasured(s_.state, PairSide::Target, true);
    completeCoordinates();
    target_ = coordinateTexts(work_, s_.format);
    return true;
}

void RegistrationWorkflow::completeCoordinates() {
    bool complete = true;
    for (const AngleSpectrum& s : work_) complete = complete && s.size() >= kEvaluatedValues;
    if (complete) return;
    ColourRequests requests(colour_);
    for (int a = 0; a < kAngleCount; ++a) {
        requests.setTarget(a, work_[a]);
        // Appended after whatever the file held, as single precision.
        for (double v : requests.coordinates(kTargetMode)) work_[a].push_back(asFloat(v));
    }
}

bool RegistrationWorkflow::refuse(int stringId, std::string detail) {
    target_ = coordinateTexts({}, s_.format);
    work_ = {};
    fileLoaded_ = false;
    choice_.reset();
    Message m = messageBox(stringId, Icon::Stop);
    m.detail = std::move(detail);
    s_.prompter.ask(m);
    return false;
}

bool RegistrationWorkflow::registerTarget() {
    bool complete = fileLoaded_ && !choice_.path().empty();
    for (const AngleSpectrum& s : work_) complete = complete && s.size() >= kSpectrumPoints;
    if (!complete) {
        s_.prompter.ask(messageBox(kStrChooseRegistration, Icon::Warning));
        return false;
    }
    placeSpectra(s_.state, PairSide::Target, work_);
    s_.prompter.ask(messageBox(kStrTargetRegistered, Icon::Information));
    return true;
}

void RegistrationWorkflow::cancel() {
    if (fileLoaded_) work_ = {};
    markMeasured(s_.state, PairSide::Target, false);
}

}  // namespace qv

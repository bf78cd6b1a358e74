#include "core/coeff/coefficient_file_workflow.h"

#include "core/app/message_box.h"
#include "core/app/profile_store.h"
#include "core/coeff/entry_rules.h"
#include "core/files/coefficient_file.h"
#include "core/link/identify.h"
#include "core/measure/measured_pair.h"

namespace qv {

namespace {
void clearTexts(CoordinateTexts& texts) {
    for (auto& row : texts) row.fill(kEmptyField);
}
}  // namespace

CoefficientFileWorkflow::CoefficientFileWorkflow(const Seams& seams)
    : s_(seams), choice_(seams.profile, key::kCoeffFilePath) {
    clearTexts(sample_);
}

void CoefficientFileWorkflow::emptySpectra() {
    placeSpectra(s_.state, PairSide::Target, {});
    placeSpectra(s_.state, PairSide::Sample, {});
}

bool CoefficientFileWorkflow::browse() {
    fileLoaded_ = false;
    const auto chosen = choice_.choose(s_.prompter);
    if (!chosen) return false;
    emptySpectra();
    std::string text;
    if (!s_.files.readAll(*chosen, kMaxChosenFileBytes, text))
        return refuse(kStrCoeffFileUnreadable, "cannot read " + *chosen);
    const CoefficientFileRead read = readCoefficientFile(text, s_.format, s_.strings);
    if (read.csvError != CsvError::None)
        return refuse(kStrCoeffFileRefused,
                      "line " + std::to_string(read.csvErrorLine) + " is too long");
    if (read.sampleSerial) placeSerial(s_.state, PairSide::Sample, *read.sampleSerial);
    // A sample from a file has no instrument type.
    placeSampleType(s_.state, {});
    if (read.comment) s_.state.coeffFileComment = *read.comment;
    placeSpectra(s_.state, PairSide::Target, read.target);
    placeSpectra(s_.state, PairSide::Sample, read.sample);
    if (!read.accepted) return refuse(kStrCoeffFileRefused, {});
    fileLoaded_ = true;
    sample_ = coordinateTexts(read.sample, s_.format);
    return true;
}

bool CoefficientFileWorkflow::refuse(int stringId, std::string detail) {
    Message m = messageBox(stringId, Icon::Stop);
    m.detail = std::move(detail);
    s_.prompter.ask(m);
    choice_.reset();
    return false;
}

bool CoefficientFileWorkflow::ok() {
    SerialChannel* port = s_.state.commPort.get();
    const IdentifyResult id = port ? IdentifyInstrument(*port, s_.clock) : IdentifyResult{};
    if (!isKnownInstrument(id)) {
        s_.prompter.ask(lostLinkMessage(id.error));
        return false;
    }
    if (!choice_.path().empty() && !s_.state.sampleSerial.empty() && fileLoaded_) return true;
    s_.prompter.ask(messageBox(kStrChooseFirst, Icon::Information));
    return false;
}

void CoefficientFileWorkflow::cancel() {
    emptySpectra();
}

}  // namespace qv

#include "support/record_builder.h"

#include <cstddef>
#include <utility>

namespace qv::test {

RecordBuilder::RecordBuilder(RecordKind kind, const LocalTime& time)
    : record_(emptyRecord(kind, time)) {}

RecordBuilder& RecordBuilder::serial(std::string serial) {
    record_.serial = std::move(serial);
    return *this;
}

RecordBuilder& RecordBuilder::reference(std::string serial) {
    record_.referenceSerial = std::move(serial);
    return *this;
}

RecordBuilder& RecordBuilder::instrumentType(std::string type) {
    record_.instrumentType = std::move(type);
    return *this;
}

RecordBuilder& RecordBuilder::operatorName(std::string name) {
    record_.operatorName = std::move(name);
    return *this;
}

RecordBuilder& RecordBuilder::judged(double threshold, std::string formula, bool passed) {
    record_.threshold = threshold;
    record_.formula = std::move(formula);
    record_.passed = passed;
    return *this;
}

RecordBuilder& RecordBuilder::angle(int angle, const AngleRecord& values) {
    record_.angles.at(static_cast<std::size_t>(angle)) = values;
    return *this;
}

RecordBuilder& RecordBuilder::angles(const AngleRecord& values) {
    record_.angles.fill(values);
    return *this;
}

RecordBuilder& RecordBuilder::files(std::vector<std::string> files) {
    record_.files = std::move(files);
    return *this;
}

RecordBuilder& RecordBuilder::entry(int entry) {
    record_.entry = entry;
    return *this;
}

RecordBuilder& RecordBuilder::comment(std::string comment) {
    record_.comment = std::move(comment);
    return *this;
}

RecordBuilder& RecordBuilder::diagnosis(const DiagnosisRecord& diagnosis) {
    record_.diagnosis = diagnosis;
    return *this;
}

}  // namespace qv::test

#include <gtest/gtest.h>

#include "core/app/shared_state.h"

namespace qv {
namespace {

TEST(SharedState, StartsWithTheDocumentedValues) {
    SharedState s;
    EXPECT_EQ(s.commPort, nullptr);
    EXPECT_FALSE(s.bConnected);
    EXPECT_TRUE(s.strInstrumentId.empty());
    EXPECT_EQ(s.defThreshold, 0.0);
    EXPECT_EQ(s.instThreshold, 0.5);
    for (const auto& sp : s.repeatSpectrum) EXPECT_TRUE(sp.empty());
    for (const auto& sp : s.targetSpectrum) EXPECT_TRUE(sp.empty());
    for (const auto& sp : s.sampleSpectrum) EXPECT_TRUE(sp.empty());
    EXPECT_FALSE(s.repeatPassed || s.targetMeasured || s.sampleMeasured || s.coeffEntryDeleted ||
                 s.bAboutMode || s.whiteCalibrationPending);
}

}  // namespace
}  // namespace qv

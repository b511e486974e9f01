#pragma once
// The rows a new clinic database starts with: the clinic account and one sample patient
// ("999999") with a stored questionnaire and certificate, so every form opens on a new installation.
#include <string>
#include <vector>

#include "platform/sqlite/SQValue.h"

namespace store {

struct DemoDataRow {
    std::string sql;
    std::vector<SQValue> arguments;
};

inline constexpr const char* kDemoPatientID = "999999";

// The seed questionnaire and certificate as stored (compact JSON, members in their given order).
extern const char* const kDemoInquiryResult;
extern const char* const kDemoCertificateResult;

// The five seed rows in insertion order.
const std::vector<DemoDataRow>& demoDataRows();

} // namespace store

#pragma once
// A certificate's print number in its certifMst row: each numbered file written advances it, and the
// patient loader reads it back with the certificate.
#include <string>

class SQDatabase;

namespace store {

// Stores the next print number; false, and logged, when the database did not take it or its file is
// gone (which no print number makes again).
bool storePrintNumber(SQDatabase& db, const std::string& pid, int next);

} // namespace store

// A kelvoran run as kelvoran-check predicts it: status, error number, line
// number and whole output records, in the form of the "kelvoran" member of
// the check's JSON report, so that the two compare as strings.
#pragma once

#include <string>

#include "child.h"

std::string run_summary(const ChildResult& run, long long output_bytes);

// The "kelvoran" member of a JSON report of kelvoran-check, or the whole
// text when it has none.
std::string predicted_summary(const std::string& json);

// The codec layer's stream calls as the run makes them, gathered in one
// table so that a caller can watch or break them (tests count open streams
// and make a chosen call fail). The default table is the codec layer itself.
#pragma once

#include "acm/acm.h"

struct SStreamFunctions {
    decltype(&acmStreamOpen) open = &acmStreamOpen;
    decltype(&acmStreamPrepareHeader) prepareHeader = &acmStreamPrepareHeader;
    decltype(&acmStreamConvert) convert = &acmStreamConvert;
    decltype(&acmStreamUnprepareHeader) unprepareHeader = &acmStreamUnprepareHeader;
    decltype(&acmStreamClose) close = &acmStreamClose;
};

#pragma once
// A service a test needs (CUPS with its PDF printer, pdftoppm, lpadmin) that is missing fails the
// test with the reason: scripts/tester starts the services, and a run without them is no pass.
#include <gtest/gtest.h>

#define KAL_SERVICE_ABSENT(pourquoi) FAIL() << "service absent: " << pourquoi

#pragma once
// Tests of the program without any printer: the test runs again in a child process whose
// CUPS client is pointed at a server that does not exist, so that no printer is found.
#include <QString>

namespace kaltest {

// True inside the child process.
bool sansImprimante();
// From the parent: runs the tests matching `filtre` in the child and checks that they pass.
void relancerSansImprimante(const QString& filtre);

}  // namespace kaltest

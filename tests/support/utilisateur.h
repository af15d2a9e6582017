#pragma once
// Runs a step with the file rights of an ordinary user. Under root (as on the build machines)
// the step runs in a thread whose file-system user is "nobody": the kernel then checks that
// thread's file accesses as that user's, so read-only folders and files really refuse writing.
#include <functional>

namespace kaltest {

void commeUtilisateur(const std::function<void()>& f);

}  // namespace kaltest

// No notification service of ours on Windows: a start that fails there
// stays as quiet as it always was.
#include "app/problemnotice.h"

void noticeProblem(const std::string &, const std::string &) { }

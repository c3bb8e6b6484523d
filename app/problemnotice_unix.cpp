#include "problemnotice.h"
#include "notifier.h"

void noticeProblem(const std::string &summary, const std::string &body)
{
    // Its end flushes the call out.
    Notifier notifier;
    notifier.problem(summary, body);
}

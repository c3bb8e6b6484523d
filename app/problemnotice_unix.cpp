#include "app/problemnotice.h"
#include "record/notifier.h"

void noticeProblem(const std::string &summary, const std::string &body)
{
    // Its end flushes the call out.
    Notifier notifier;
    notifier.problem(summary, body);
}

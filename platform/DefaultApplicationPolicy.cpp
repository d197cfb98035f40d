#include "DefaultApplicationPolicy.h"

namespace DefaultApplicationPolicy {

// Never set: the first launch claims the type, as any editor's installation does. Set before:
// only while the desktop still names Scrivlet, which re-registering then leaves as it is;
// anything else means someone chose differently since.
Decision atLaunch(const Facts &facts)
{
    if (!facts.installed)
        return Decision::NotInstalled;
    if (facts.declined)
        return Decision::LeaveAlone;
    if (!facts.setByScrivlet || facts.currentDefault == facts.ownId)
        return Decision::Register;
    return Decision::LeaveAlone;
}

} // namespace DefaultApplicationPolicy

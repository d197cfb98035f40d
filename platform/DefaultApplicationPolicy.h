#pragma once

#include <QString>

// Whether launching Scrivlet may make it the default application for one MIME type. A launch
// only keeps up what Scrivlet itself set: a default the user gave another application since,
// or a "No" to the first-launch question, is theirs and stays. An explicit request (Yes to the
// question, an extension added in Settings) does not ask this policy.
namespace DefaultApplicationPolicy {

struct Facts
{
    // A desktop file for Scrivlet is where GIO looks for it; without one nothing can be set.
    bool installed = false;
    // Scrivlet made itself the type's default before (recorded when it did).
    bool setByScrivlet = false;
    // The user answered No to becoming the default for this type.
    bool declined = false;
    // The desktop file id of the type's default application now; empty when there is none.
    QString currentDefault;
    QString ownId;
};

enum class Decision {
    Register,
    LeaveAlone,
    NotInstalled,
};

Decision atLaunch(const Facts &facts);

} // namespace DefaultApplicationPolicy

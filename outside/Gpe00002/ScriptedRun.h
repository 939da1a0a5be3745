#pragma once
// The scripted mode (ScriptedSession.h says what a script holds) as a host program reaches it:
// by name, on the handle of the loaded menu module, which brings the package with it. The host
// links no library of the package; it calls through this interface only.

#include "core/Export.h"

#include <QString>

namespace Gpe00002 {

class ScriptedRun {
public:
    virtual ~ScriptedRun() = default;
    // Why the run stopped early; empty when it ran to its end.
    virtual QString error() const = 0;
    // Lines left over when the menu closed.
    virtual int remainingLines() const = 0;
};

// Reads the script, opens the transcript and starts answering the menu and the package's
// dialogues from the script (deleting the run puts the package's own routines back). Null when
// a file cannot be read or written, with the reason in `error`.
using StartScriptedRun = ScriptedRun* (*)(const QString& scriptPath, const QString& transcriptPath, QString& error);
// The name under which the package exports its StartScriptedRun.
inline constexpr char kStartScriptedRun[] = "gpe00002StartScriptedRun";

}  // namespace Gpe00002

extern "C" GPE00002_EXPORT Gpe00002::ScriptedRun* gpe00002StartScriptedRun(const QString& scriptPath,
                                                                           const QString& transcriptPath,
                                                                           QString& error);

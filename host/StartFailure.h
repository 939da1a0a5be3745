#pragma once
// How the host tells that the menu could not be started: always on standard error, and in an
// error message on the screen when somebody may be there to read it.

#include <QString>

namespace HostStart {

// Whether a person may be watching the screen: not while a picture is taken or a script plays,
// nor on a platform that draws nowhere (offscreen, minimal).
bool somebodyWatches(bool screenshot, bool script, const QString& platformName);

// Writes "res00011-host: PROBLEM" on standard error and, when `onScreen`, shows `cause` in an
// error message (Mensagemqor::Mensagem, kind tmErro) that returns once it is closed.
void reportFailedStart(const QString& problem, const QString& cause, bool onScreen);

}  // namespace HostStart

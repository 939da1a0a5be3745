#include "StartFailure.h"

#include "Mensagemqor.h"

#include <cstdio>

namespace HostStart {

bool somebodyWatches(bool screenshot, bool script, const QString& platformName) {
    return !screenshot && !script && platformName != QLatin1String("offscreen") &&
           platformName != QLatin1String("minimal");
}

void reportFailedStart(const QString& problem, const QString& cause, bool onScreen) {
    std::fprintf(stderr, "res00011-host: %s\n", problem.toUtf8().constData());
    // A terminal is usually started by its session, with nobody looking at a console: without
    // this the menu would simply not appear.
    if (onScreen)
        Mensagemqor::Mensagem(QStringLiteral("O menu de operações não pôde ser aberto.\n%1").arg(cause).toStdString(),
                              "", "N", "N", tmErro, "", "", 0, nullptr);
}

}  // namespace HostStart

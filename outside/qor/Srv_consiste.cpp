#include "Srv_consiste.h"

#include "Consiste.h"

// The data side keeps its codes by the same rules as the screens.
namespace Srv_consiste {

std::string Ajusta(const std::string& texto, int width) { return Consiste::Ajusta(texto, width); }

bool EmptyString(const std::string& texto) { return Consiste::EmptyString(texto); }

}  // namespace Srv_consiste

#include "Trad_utl.h"

namespace Trad_utl {

// Every screen is designed in Portuguese, the installation's language, so there is nothing to
// translate: the form keeps the texts it was built with.
void Trad(QWidget* /*form*/) {}

}  // namespace Trad_utl

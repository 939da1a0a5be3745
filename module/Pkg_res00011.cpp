// The loadable module: the data service (Srv_res00011) and the menu (Cli_res00011), linked
// with the operations package and the shared runtime library it loads with it. Loading it
// brings the package's routines into place (the package initialises as a dependency, before
// this module) and leaves the menu idle: its globals start as no form, no data module and
// boCriaMenu false, as their units define them.
#include "Cli_res00011.h"
#include "Srv_res00011.h"

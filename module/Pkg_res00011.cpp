// The loadable module: the data service (Srv_res00011) and the menu (Cli_res00011), linked
// with the operations package and the shared runtime library it loads with it. Loading it
// brings the package's routines into place (the package initialises as a dependency, before
// this module) and leaves the menu idle: no form, no data module, boCriaMenu false.
#include "Cli_res00011.h"
#include "Srv_res00011.h"

namespace {
struct ModuleStart {
    ModuleStart() {
        Srv_res00011::rdmMenu = nullptr;
        Cli_res00011::frmMenu = nullptr;
        Cli_res00011::boCriaMenu = false;
    }
} moduleStart;
}  // namespace

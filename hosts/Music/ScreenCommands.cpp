// Commands on the pictures of the screen.
#include "Commands.h"

namespace host {

void addScreenCommands(CommandTable&) {}

}  // namespace host
